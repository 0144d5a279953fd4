#!/usr/bin/env bash
# folder_bench.sh [--files N] [--size BYTES] [--runs N] [--qzfolder PATH]
# A folder of N random files (2,000 of 4 KiB by default) encrypted with `qzfolder encrypt` for
# two recipients, the default certificate 0A1B (1024 bits) and --to 0080AB (2048 bits), then
# decrypted with `qzfolder decrypt --cert 0080AB`. In the same run it measures the cryptography
# alone of the same work (folder_crypto_cost.c: the RSA operations and the 3DES of the same
# bytes) and, as the file system's share, a plain `cp -r` of the folder. Prints files/s and
# how many times the cryptography the run costs. Run by hand, not in CI.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
files=2000
size=4096
runs=3
qzfolder=$repo/build/bench-native/qzfolder
certs=$repo/tests/data/certs
max_overhead=2  # the run may cost at most this many times the cryptography on top of it

while [ $# -gt 0 ]; do
  case $1 in
    --files) files=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --qzfolder) qzfolder=$(realpath "$2"); shift 2 ;;
    *) sed -n '2p' "$0" >&2; exit 2 ;;
  esac
done
[ -x "$qzfolder" ] || { echo "no $qzfolder: build it first (cmake --build ... --target qzfolder)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-folder-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
qz() { "$qzfolder" --home "$work/home" "$@"; }

cc -O2 -o "$work/folder_crypto_cost" "$repo/bench/folder_crypto_cost.c" $(pkg-config --cflags --libs libgcrypt openssl)
for p12 in alice1024 bob2048; do qz import "$certs/$p12.p12" --password test >/dev/null; done
qz default 0A1B >/dev/null
mkdir "$work/docs"
for ((i = 0; i < files; i++)); do head -c "$size" /dev/urandom >"$work/docs/file$i.bin"; done

source "$repo/bench/best_times.sh"

for ((run = 1; run <= runs; run++)); do
  rm -rf "$work/docs.qz" "$work/plain" "$work/copy"
  measure encrypt "$qzfolder" --home "$work/home" encrypt "$work/docs" --to 0080AB
  measure decrypt "$qzfolder" --home "$work/home" decrypt "$work/docs.qz" --dest "$work/plain" --cert 0080AB
  diff -r "$work/docs" "$work/plain" >/dev/null || { echo "decrypted files differ" >&2; exit 1; }
  measure copy cp -r "$work/docs" "$work/copy"
  while read -r phase seconds; do keep cpu "crypto.$phase" "$seconds"; done < <(
    "$work/folder_crypto_cost" "$files" "$size" "$certs/alice1024.crt" "$certs/bob2048.crt" -- "$certs/bob2048.pem")
done

div() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo "$files files of $size bytes, recipients 0A1B (1024 bits) and 0080AB (2048 bits), decrypted as 0080AB, best of $runs runs"
printf '%-8s %9s %9s %9s %11s %11s\n' "" "files/s" "wall s" "CPU s" "crypto CPU" "CPU/crypto"
for phase in encrypt decrypt; do
  printf '%-8s %9s %9s %9s %11s %10s×\n' "$phase" "$(div "$files" "${wall[$phase]}")" "${wall[$phase]}" \
    "${cpu[$phase]}" "${cpu[crypto.$phase]}" "$(div "${cpu[$phase]}" "${cpu[crypto.$phase]}")"
done
echo "cp -r of the folder (the file system's share): ${wall[copy]} s wall, ${cpu[copy]} s CPU"
for phase in encrypt decrypt; do
  overhead=$(awk -v c="${cpu[$phase]}" -v k="${cpu[crypto.$phase]}" 'BEGIN {printf "%.2f", (c - k) / k}')
  if awk -v o="$overhead" -v m="$max_overhead" 'BEGIN {exit !(o <= m)}'; then verdict=met; else verdict="NOT MET"; fi
  printf '%-8s %s: CPU beyond the cryptography %s× the cryptography (target ≤ %s×)\n' "$verdict" "$phase" "$overhead" "$max_overhead"
done
