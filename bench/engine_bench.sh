#!/usr/bin/env bash
# engine_bench.sh [--size MIB] [--runs N] [--qzfolder PATH] [--win-qzfolder PATH] [--no-peers]
# Encrypts a random file for two recipients (0A1B, 1024 bits; 0080AB, 2048 bits) and decrypts it
# as 0080AB, with qzfolder and, in the same run and on the same file, with libgcrypt's bare
# 3DES-CBC (the limit), openssl enc and gpgsm (the peers) and, when it is built, qzfolder.exe
# under Wine. Prints MB/s (10^6 bytes of plain text per second of CPU time, best of the runs)
# and peak RSS (largest of the runs), then whether qzfolder meets its targets. Run by hand;
# see README.md.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
size_mib=256
runs=3
qzfolder=$repo/build/bench-native/qzfolder
peers=1
win_qzfolder=$repo/build/win64/qzfolder.exe
certs=$repo/tests/data/certs
recipients=(0A1B 0080AB)
decryptor=0080AB
min_ratio=0.85
max_rss_kib=$((16 * 1024))

while [ $# -gt 0 ]; do
  case $1 in
    --size) size_mib=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --qzfolder) qzfolder=$(realpath "$2"); shift 2 ;;
    --win-qzfolder) win_qzfolder=$(realpath "$2"); shift 2 ;;
    --no-peers) peers=0; shift ;;
    *) sed -n '2p' "$0" >&2; exit 2 ;;
  esac
done
[ -x "$qzfolder" ] || { echo "no $qzfolder: build it first (see bench/README.md)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-bench.XXXXXX")
wine_started=0
cleanup() {
  if [ -d "$work/gnupg" ]; then GNUPGHOME=$work/gnupg gpgconf --kill all || true; fi
  if [ $wine_started = 1 ]; then WINEPREFIX=$work/wineprefix wineserver -k || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
trap 'echo "failed: $BASH_COMMAND" >&2' ERR

plain=$work/plain
bytes=$((size_mib * 1024 * 1024))
declare -A speed=() rss=()

# measure KEY COMMAND...: runs the command under /usr/bin/time -v, keeps the best MB/s (by its
# user + system time, which other work on the machine hardly changes) and the largest peak RSS
# (KiB) seen for KEY.
measure() {
  local key=$1; shift
  /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1 || {
    echo "failed: $*" >&2; cat "$work/out.txt" >&2; exit 1
  }
  record "$key" $(awk -F': ' -v b="$bytes" '
    /User time|System time/ {cpu += $2}
    /Maximum resident set size/ {kib = $2}
    END {if (cpu < 0.01) cpu = 0.01; printf "%.2f %d", b / 1e6 / cpu, kib}' "$work/time.txt")  # 10 ms resolution
}

record() {  # KEY MBS [KIB]
  if [ -z "${speed[$1]:-}" ] || awk -v a="$2" -v b="${speed[$1]}" 'BEGIN {exit !(a > b)}'; then
    speed[$1]=$2
  fi
  if [ -n "${3:-}" ] && [ "${3}" -gt "${rss[$1]:-0}" ]; then rss[$1]=$3; fi
}

same_as_plain() {
  cmp -s "$plain" "$1" || { echo "wrong plain text from $2" >&2; exit 1; }
}

setup_limit() {
  cc -O2 -o "$work/raw_3des_cbc" "$repo/bench/raw_3des_cbc.c" $(pkg-config --cflags --libs libgcrypt)
}
run_limit() {
  local phase mbs
  while read -r phase mbs; do record "limit.$phase" "$mbs"; done < <("$work/raw_3des_cbc" "$plain")
}

setup_qzfolder() {
  mkdir "$work/home"
  for p12 in alice1024 bob2048; do
    "$qzfolder" --home "$work/home" import "$certs/$p12.p12" --password test >/dev/null
  done
}
run_qzfolder() {
  measure qzfolder.encrypt "$qzfolder" --home "$work/home" encrypt-file "$plain" "$work/qz" "${recipients[@]}"
  measure qzfolder.decrypt "$qzfolder" --home "$work/home" decrypt-file "$work/qz" "$work/qz.plain" "$decryptor"
  same_as_plain "$work/qz.plain" qzfolder
  rm "$work/qz" "$work/qz.plain"
}

# Any 24-byte key: openssl enc stands for the bulk cipher work of a peer without key handling.
openssl_key=0123456789abcdeffedcba987654321089abcdef01234567
run_openssl() {
  local args=(-des-ede3-cbc -K "$openssl_key" -iv 0000000000000000)
  measure openssl.encrypt openssl enc "${args[@]}" -in "$plain" -out "$work/ossl"
  measure openssl.decrypt openssl enc -d "${args[@]}" -in "$work/ossl" -out "$work/ossl.plain"
  same_as_plain "$work/ossl.plain" "openssl enc"
  rm "$work/ossl" "$work/ossl.plain"
}

# A throwaway GnuPG home: both certificates trusted as roots ("relax" accepts the self-signed
# test certificates without the CA flag) and both private keys imported, since gpgsm tries the
# recipients in order and reports a failure for every key it lacks. Passphrases come by
# loopback from standard input.
gpgsm_cmd=(env GNUPGHOME="$work/gnupg" gpgsm --batch --pinentry-mode loopback --passphrase-fd 0)
setup_gpgsm() {
  mkdir -m 700 "$work/gnupg"
  echo allow-loopback-pinentry >"$work/gnupg/gpg-agent.conf"
  echo disable-crl-checks >"$work/gnupg/gpgsm.conf"
  for p12 in alice1024 bob2048; do "${gpgsm_cmd[@]}" --import "$certs/$p12.p12" <<<test 2>/dev/null; done
  "${gpgsm_cmd[@]}" --list-keys --with-colons </dev/null |
    awk -F: '/^fpr/ {print $10, "S relax"}' >"$work/gnupg/trustlist.txt"
  GNUPGHOME=$work/gnupg gpgconf --reload gpg-agent  # the agent reads the trust list
  mapfile -t gpgsm_recipients < <(awk '{print "-r"; print "0x" $1}' "$work/gnupg/trustlist.txt")
}
run_gpgsm() {
  measure gpgsm.encrypt "${gpgsm_cmd[@]}" --cipher-algo 3DES "${gpgsm_recipients[@]}" \
    --output "$work/cms" --encrypt "$plain" </dev/null
  measure gpgsm.decrypt "${gpgsm_cmd[@]}" --output "$work/cms.plain" --decrypt "$work/cms" <<<test
  same_as_plain "$work/cms.plain" gpgsm
  rm "$work/cms" "$work/cms.plain"
}

# The Windows build imports into the CryptoAPI stores of a fresh prefix; Wine sees / as Z:.
wine_cmd=("$repo/cmake/wine-run.sh" "$work/wineprefix" "$win_qzfolder")
setup_wine() {
  "${wine_cmd[@]}" --help >/dev/null  # creates the prefix
  # One server for all the runs, started once that of the first program has gone.
  WINEPREFIX=$work/wineprefix wineserver -w
  WINEPREFIX=$work/wineprefix wineserver -p
  wine_started=1
  for p12 in alice1024 bob2048; do "${wine_cmd[@]}" import "Z:$certs/$p12.p12" --password test >/dev/null; done
}
run_wine() {
  measure wine.encrypt "${wine_cmd[@]}" encrypt-file "Z:$plain" "Z:$work/win" "${recipients[@]}"
  measure wine.decrypt "${wine_cmd[@]}" decrypt-file "Z:$work/win" "Z:$work/win.plain" "$decryptor"
  same_as_plain "$work/win.plain" "qzfolder.exe"
  rm "$work/win" "$work/win.plain"
}

tools=(limit qzfolder)
[ $peers = 1 ] && tools+=(openssl gpgsm)
[ -f "$win_qzfolder" ] && tools+=(wine)
declare -A setups=([limit]=setup_limit [qzfolder]=setup_qzfolder [gpgsm]=setup_gpgsm [wine]=setup_wine)
declare -A runners=([limit]=run_limit [qzfolder]=run_qzfolder [openssl]=run_openssl [gpgsm]=run_gpgsm [wine]=run_wine)
declare -A labels=([limit]="libgcrypt 3DES-CBC (limit)" [qzfolder]="qzfolder"
  [openssl]="openssl enc -des-ede3-cbc" [gpgsm]="gpgsm --cipher-algo 3DES" [wine]="qzfolder.exe under Wine")

for tool in "${tools[@]}"; do [ -z "${setups[$tool]:-}" ] || "${setups[$tool]}"; done
head -c "$bytes" /dev/urandom >"$plain"
# The tools take turns in every run, so a slower stretch of the machine hits them all alike.
for ((run = 1; run <= runs; run++)); do
  for tool in "${tools[@]}"; do "${runners[$tool]}"; done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
mib() { if [ -n "${1:-}" ]; then awk -v k="$1" 'BEGIN {printf "%.1f MiB", k / 1024}'; else echo -; fi; }
cell() {  # TOOL PHASE: MB/s, share of the limit, peak RSS
  local key=$1.$2
  printf '%8s %6s× %9s' "${speed[$key]}" "$(ratio "${speed[$key]}" "${speed[limit.$2]}")" "$(mib "${rss[$key]:-}")"
}

echo "3DES-CBC, $size_mib MiB random file, recipients ${recipients[*]}, decrypted as $decryptor, best of $runs runs"
printf '%-28s %8s %7s %9s   %8s %7s %9s\n' "" "encrypt" "/limit" "peak RSS" "decrypt" "/limit" "peak RSS"
for tool in "${tools[@]}"; do
  printf '%-28s %s   %s\n' "${labels[$tool]}" "$(cell "$tool" encrypt)" "$(cell "$tool" decrypt)"
done

# Peak RSS on a 1 MiB file too: it must not grow with the file.
head -c $((1024 * 1024)) "$plain" >"$work/small"
small_rss() {  # LABEL PATH-PREFIX COMMAND...
  local label=$1 at=$2; shift 2
  /usr/bin/time -f %M -o "$work/small.enc" "$@" encrypt-file "$at$work/small" "$at$work/small.qz" "${recipients[@]}"
  /usr/bin/time -f %M -o "$work/small.dec" "$@" decrypt-file "$at$work/small.qz" "$at$work/small.plain" "$decryptor"
  echo "$label peak RSS on a 1 MiB file: encrypt $(mib "$(<"$work/small.enc")"), decrypt $(mib "$(<"$work/small.dec")")"
}
small_rss qzfolder "" "$qzfolder" --home "$work/home"
if [[ " ${tools[*]} " == *" wine "* ]]; then
  small_rss "qzfolder.exe under Wine" Z: "${wine_cmd[@]}"
  /usr/bin/time -f %M -o "$work/help.rss" "${wine_cmd[@]}" --help >/dev/null
  echo "qzfolder.exe --help under Wine (Wine's own share): peak RSS $(mib "$(<"$work/help.rss")")"
fi

verdict() {  # TEXT CONDITION(awk)
  if awk "BEGIN {exit !($2)}"; then echo "met      $1"; else echo "NOT MET  $1"; fi
}
for phase in encrypt decrypt; do
  verdict "qzfolder $phase ≥ $min_ratio × limit" "${speed[qzfolder.$phase]} >= $min_ratio * ${speed[limit.$phase]}"
  verdict "qzfolder $phase peak RSS < 16 MiB" "${rss[qzfolder.$phase]} < $max_rss_kib"
done
