#!/usr/bin/env bash
# make-golden.sh linux|windows: writes this build's golden files from content.txt with the test
# certificates. The other build's tests read them, so a change on one side that breaks the
# other is caught. Run from the source tree after building the build in question.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
side=$1
case "$side" in
  linux)
    home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
    qz() { "$root/build/native/qzfolder" --home "$home" "$@"; }
    path() { echo "$1"; } ;;
  windows)
    qz() { "$root/cmake/wine-run.sh" "$root/build/win64/wineprefix" "$root/build/win64/qzfolder.exe" "$@"; }
    path() { echo "Z:$1"; } ;;
  *) echo "usage: $0 linux|windows" >&2; exit 2 ;;
esac
for cert in alice1024.p12 bob2048.p12; do qz import "$(path "$here/../certs/$cert")" --password test >/dev/null; done
qz encrypt-file "$(path "$here/content.txt")" "$(path "$here/$side-alice1024.qz")" 0A1B
qz encrypt-file "$(path "$here/content.txt")" "$(path "$here/$side-bob2048.qz")" 0080AB
qz encrypt-file "$(path "$here/content.txt")" "$(path "$here/$side-both.qz")" 0080AB 0A1B
