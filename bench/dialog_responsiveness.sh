#!/usr/bin/env bash
# dialog_responsiveness.sh [MIB] [FILES]
# Runs a folder of MIB MiB (64 by default, in 16 files) through the real encryption dialog under
# Wine on a private X display and prints the longest time the dialog's thread left a message
# unanswered beside the run's total time, and the same for a run on the dialog's own thread as
# the baseline. Target: under 100 ms for the dialog. Needs the win64 build
# (cmake --build --preset win64 --target dialog_responsiveness). Run by hand, not in CI.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build/win64
program=$build/tests/dialogs/dialog_responsiveness.exe
[ -f "$program" ] || { echo "no $program: build it first" >&2; exit 1; }
shots=$(mktemp -d "${TMPDIR:-/tmp}/qz-responsiveness.XXXXXX")
trap 'rm -rf "$shots"' EXIT
# A prefix of its own: the benchmark's certificate and settings stay out of the tests' way.
python3 "$repo/tests/gui/run_on_display.py" --emulator "$repo/cmake/wine-run.sh" \
  --prefix "$build/bench-wineprefix" --shots "$shots" -- \
  "$program" "Z:${repo//\//\\}\\tests\\data\\certs" "${1:-64}" "${2:-16}"
