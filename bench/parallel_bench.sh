#!/usr/bin/env bash
# parallel_bench.sh [--runs N] [--jobs N] [--qzfolder PATH] [--win-qzfolder PATH] [--no-wine]
# Folder runs on one worker and on several, side by side in one run: a folder of 32 random files
# of 8 MiB and one of 2,000 files of 4 KiB, encrypted with `qzfolder encrypt` for two recipients
# (the default certificate 0A1B, 1024 bits, and --to 0080AB, 2048 bits) and decrypted with
# `qzfolder decrypt --cert 0080AB`, each with --jobs 1 and --jobs N (default: the number of
# cores); the same with qzfolder.exe under Wine when it is built. Prints the best wall time of
# the runs, the speed and the speed-up of N workers over one, then whether the speed-ups of two
# workers meet their targets. Run by hand; see README.md.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=3
jobs=$(nproc)
qzfolder=$repo/build/bench-native/qzfolder
win_qzfolder=$repo/build/win64/qzfolder.exe
wine=1
certs=$repo/tests/data/certs
declare -A target=([large]=1.8 [small]=1.6)  # speed-up of two workers over one

while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --qzfolder) qzfolder=$(realpath "$2"); shift 2 ;;
    --win-qzfolder) win_qzfolder=$(realpath "$2"); shift 2 ;;
    --no-wine) wine=0; shift ;;
    *) sed -n '2p' "$0" >&2; exit 2 ;;
  esac
done
[ -x "$qzfolder" ] || { echo "no $qzfolder: build it first (see bench/README.md)" >&2; exit 1; }
[ -f "$win_qzfolder" ] || wine=0

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-parallel-bench.XXXXXX")
wine_started=0
cleanup() {
  if [ $wine_started = 1 ]; then WINEPREFIX=$work/wineprefix wineserver -k || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The tools: the native build with its own home, the Windows build in a fresh prefix (Wine
# sees / as Z:). Both hold alice (0A1B, the default) and bob (0080AB) with their keys.
native_cmd=("$qzfolder" --home "$work/home")
windows_cmd=("$repo/cmake/wine-run.sh" "$work/wineprefix" "$win_qzfolder")
native() { "${native_cmd[@]}" "$@"; }
windows() { "${windows_cmd[@]}" "$@"; }
native_path() { echo "$1"; }
windows_path() { echo "Z:${1//\//\\}"; }
tools=(native)
for p12 in alice1024 bob2048; do native import "$certs/$p12.p12" --password test >/dev/null; done
native default 0A1B >/dev/null
if [ $wine = 1 ]; then
  windows --help >/dev/null  # creates the prefix
  # One server for all the runs, started once that of the first program has gone.
  WINEPREFIX=$work/wineprefix wineserver -w
  WINEPREFIX=$work/wineprefix wineserver -p
  wine_started=1
  for p12 in alice1024 bob2048; do windows import "$(windows_path "$certs/$p12.p12")" --password test >/dev/null; done
  windows default 0A1B >/dev/null
  tools+=(windows)
fi

# make_folder NAME COUNT BYTES: random files in one stream, cut into pieces.
make_folder() {
  mkdir "$work/$1"
  head -c $(($2 * $3)) /dev/urandom | split -b "$3" -d -a 4 - "$work/$1/file"
}
make_folder large 32 $((8 << 20))
make_folder small 2000 4096
declare -A files=([large]=32 [small]=2000) bytes=([large]=$((32 * (8 << 20))) [small]=$((2000 * 4096)))
declare -A folder_label=([large]="32 × 8 MiB" [small]="2,000 × 4 KiB")

source "$repo/bench/best_times.sh"

# run_pair TOOL FOLDER N: encrypts and decrypts the folder with N workers and checks the result.
run_pair() {
  local tool=$1 folder=$2 n=$3 path=${1}_path
  local -n cmd=${1}_cmd
  local enc=$work/$folder.qz plain=$work/$folder.plain
  rm -rf "$enc" "$plain"
  measure "$tool.$folder.encrypt.$n" "${cmd[@]}" encrypt "$($path "$work/$folder")" --to 0080AB --jobs "$n"
  measure "$tool.$folder.decrypt.$n" "${cmd[@]}" decrypt "$($path "$enc")" --dest "$($path "$plain")" --cert 0080AB \
    --jobs "$n"
  diff -r "$work/$folder" "$plain" >/dev/null || { echo "$tool, $n workers: decrypted files differ" >&2; exit 1; }
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# One worker and N take turns, so that a busy stretch of the machine hits both.
for ((run = 1; run <= runs; run++)); do
  for tool in "${tools[@]}"; do
    for folder in large small; do
      run_pair "$tool" "$folder" 1
      run_pair "$tool" "$folder" "$jobs"
    done
  done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

div() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
speed() {  # FOLDER SECONDS: MB/s of plain text for the large files, files/s for the small
  if [ "$1" = large ]; then echo "$(div "$(div "${bytes[large]}" 1000000)" "$2") MB/s"; else echo "$(div "${files[small]}" "$2") files/s"; fi
}
declare -A tool_label=([native]="qzfolder" [windows]="qzfolder.exe under Wine")
echo "Folder runs with --jobs 1 and --jobs $jobs ($(nproc) cores), recipients 0A1B and 0080AB, decrypted as 0080AB,"
echo "best wall time of $runs runs; load average before $load_before, after $load_after"
printf '%-25s %-14s %-8s %9s %15s %9s %15s %9s %11s %13s\n' tool folder phase "1: wall s" speed "$jobs: wall s" speed \
  speed-up "CPU s 1/$jobs" "RSS MiB 1/$jobs"
for tool in "${tools[@]}"; do
  for folder in large small; do
    for phase in encrypt decrypt; do
      one=$tool.$folder.$phase.1 many=$tool.$folder.$phase.$jobs
      printf '%-25s %-14s %-8s %9s %15s %9s %15s %8s× %11s %13s\n' "${tool_label[$tool]}" "${folder_label[$folder]}" \
        "$phase" "${wall[$one]}" "$(speed "$folder" "${wall[$one]}")" "${wall[$many]}" "$(speed "$folder" "${wall[$many]}")" \
        "$(div "${wall[$one]}" "${wall[$many]}")" "${cpu[$one]}/${cpu[$many]}" "$(mib "${rss[$one]}")/$(mib "${rss[$many]}")"
    done
  done
done
[ "$jobs" = 2 ] || { echo "targets are for --jobs 2: not checked"; exit 0; }
for tool in "${tools[@]}"; do
  for folder in large small; do
    for phase in encrypt decrypt; do
      gain=$(div "${wall[$tool.$folder.$phase.1]}" "${wall[$tool.$folder.$phase.2]}")
      if awk -v g="$gain" -v t="${target[$folder]}" 'BEGIN {exit !(g >= t)}'; then verdict=met; else verdict="NOT MET"; fi
      printf '%-8s %s, %s, %s: 2 workers %s× as fast as one (target ≥ %s×)\n' "$verdict" "${tool_label[$tool]}" \
        "${folder_label[$folder]}" "$phase" "$gain" "${target[$folder]}"
    done
  done
done
