#!/usr/bin/env bash
# The whole test suite, native (plain and with sanitizers) and Windows (under Wine), from a fresh
# machine: installs what is missing, builds the three presets and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
native_rc=0
ctest --preset native -j"$jobs" || native_rc=$?

echo "== native build and tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
sanitize_rc=0
ctest --preset sanitize -j"$jobs" || sanitize_rc=$?

echo "== Windows build and tests under Wine"
cmake --preset win64 >/dev/null
prefix=$root/build/win64/wineprefix
cmake/wine-run.sh "$prefix" cmd /c exit </dev/null >/dev/null 2>&1  # creates the prefix once
# One Wine server for the whole run: without it every test pays for a server start. The one
# the first program left behind must be gone before a persistent one can start.
export WINEPREFIX=$prefix
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
cmake/wine-run.sh "$prefix" cmd /c exit </dev/null >/dev/null 2>&1
cmake --build --preset win64 -j"$jobs"
win_rc=0
ctest --preset win64 || win_rc=$?

[ "$native_rc" -eq 0 ] && [ "$sanitize_rc" -eq 0 ] && [ "$win_rc" -eq 0 ]
