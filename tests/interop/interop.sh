#!/usr/bin/env bash
# interop.sh NATIVE_QZFOLDER WINE_RUN PREFIX WINDOWS_QZFOLDER CERTS
# Files written by the Linux tool decrypt with the Windows tool under Wine and the reverse, for
# 1024- and 2048-bit recipients. Exit 77 (skipped) when the native tool has not been built.
set -euo pipefail
native=$1 wine_run=$2 prefix=$3 windows=$4 certs=$5
[ -x "$native" ] || { echo "no native build at $native: skipped"; exit 77; }

work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
home=$work/home
lin() { "$native" --home "$home" "$@"; }
win() { "$wine_run" "$prefix" "$windows" "$@"; }
w() { echo "Z:$1"; }

for cert in alice1024.p12 bob2048.p12; do
  lin import "$certs/$cert" --password test >/dev/null
  win import "$(w "$certs/$cert")" --password test >/dev/null
done
head -c 150001 /dev/urandom > "$work/plain"

failed=0
check() {  # name produced-file
  if cmp -s "$work/plain" "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=1; fi
}
for recipients in "0A1B" "0080AB" "0080AB 0A1B"; do
  tag=${recipients// /+}
  # shellcheck disable=SC2086
  lin encrypt-file "$work/plain" "$work/lin-$tag.qz" $recipients
  # shellcheck disable=SC2086
  win encrypt-file "$(w "$work/plain")" "$(w "$work/win-$tag.qz")" $recipients
  for reader in $recipients; do
    win decrypt-file "$(w "$work/lin-$tag.qz")" "$(w "$work/lin-$tag.$reader.out")" "$reader" || true
    check "Linux file for $tag, read by Windows as $reader" "$work/lin-$tag.$reader.out"
    lin decrypt-file "$work/win-$tag.qz" "$work/win-$tag.$reader.out" "$reader" || true
    check "Windows file for $tag, read by Linux as $reader" "$work/win-$tag.$reader.out"
  done
done
exit "$failed"
