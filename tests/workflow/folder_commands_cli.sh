#!/usr/bin/env bash
# folder_commands_cli.sh CERTS linux QZFOLDER
# folder_commands_cli.sh CERTS windows WINE_RUN PREFIX QZFOLDER_EXE
# The folder commands as a shell sees them: each message of a run on one line with its caption,
# exit 0 only after the success message, the folders they make, and what `default` writes into
# the settings file. On Windows that file is the prefix's own: it is removed before and after.
set -uo pipefail
certs=$1 side=$2; shift 2
# No dot in the random part: ".qz" in the folder's own path would change what decrypt accepts.
work=$(mktemp -d "${TMPDIR:-/tmp}/folder-cli-XXXXXX")
if [ "$side" = linux ]; then
  tool=$1
  qz() { "$tool" --home "$work/home" "$@"; }
  win() { echo "$1"; }
  settings=("$work/home/zeVireve.ini")
  as_utf8() { tr -d '\r'; }
else
  wine_run=$1 prefix=$2 tool=$3
  qz() { "$wine_run" "$prefix" "$tool" "$@"; }
  win() { echo "Z:${1//\//\\}"; }
  settings=("$prefix/drive_c/windows/zeVireve.ini" "$prefix"/drive_c/users/*/AppData/Roaming/zeVireve.ini)
  as_utf8() { iconv -f GBK -t UTF-8 | tr -d '\r'; }  # the tool writes code page 936
fi
rm -f "${settings[@]}"
trap 'rm -rf "$work"; rm -f "${settings[@]}"' EXIT

source "$(dirname "$0")/../cli/run_checks.sh"
same_files() { cmp -s "$1" "$2" || fail "$last: $2 differs from $1"; }

mkdir -p "$work/docs/sub"
printf 'alpha' >"$work/docs/a.txt"
printf 'beta' >"$work/docs/b.txt"
printf 'in a subfolder' >"$work/docs/sub/c.txt"
run 0 import "$(win "$certs/alice1024.p12")" --password test
run 0 import "$(win "$certs/bob2048.p12")" --password test

# No default certificate and nobody named: refused before anything is made.
run 1 encrypt "$(win "$work/docs")"
printed err "出错提示: 不能加密文件夹,您没有选择用于加密的证书!"
[ ! -e "$work/docs.qz" ] || fail "$last: made docs.qz"

run 1 default FFFF01
run 0 default 0a1b
printed out "0A1B	Alice 1024"
[ "$(as_utf8 <"${settings[0]}")" = "$(printf '[CODE]\nSETCERFLG=1\nCERTNAME=Alice 1024\nCERTSerial=0A1B')" ] ||
  fail "$last: settings file holds: $(cat "${settings[0]}")"

# A separator at the end does not move the proposed destination into the source.
run 0 encrypt "$(win "$work/docs")/" --to 0080AB
printed out "信息提示: 加密成功!"
[ "$(ls "$work/docs.qz")" = "$(printf 'a.txt.qz\nb.txt.qz')" ] || fail "$last: docs.qz holds $(ls "$work/docs.qz")"

run 0 decrypt "$(win "$work/docs.qz")" --dest "$(win "$work/plain")" --cert 0080ab
printed out "信息提示: 解密成功!"
same_files "$work/docs/a.txt" "$work/plain/a.txt"
same_files "$work/docs/b.txt" "$work/plain/b.txt"

# The default destination is the folder cut before its last z, the certificate the first offered.
rm "$work/docs/a.txt"
run 0 decrypt "$(win "$work/docs.qz")"
same_files "$work/plain/a.txt" "$work/docs/a.txt"

# One worker or several: the same files.
run 0 encrypt "$(win "$work/docs")" --dest "$(win "$work/one.qz")" --jobs 1
run 0 encrypt "$(win "$work/docs")" --dest "$(win "$work/three.qz")" --jobs 3
run 0 decrypt "$(win "$work/three.qz")" --dest "$(win "$work/three")" --jobs 3
[ "$(ls "$work/one.qz")" = "$(ls "$work/three.qz")" ] || fail "$last: one.qz and three.qz differ"
same_files "$work/docs/b.txt" "$work/three/b.txt"

# Refused as the context menu refuses it, before the destination (cut before the last z) is made.
mkdir -p "$work/pizza/docs"
run 1 decrypt "$(win "$work/pizza/docs")"
printed err "出错提示: 对不起,不支持此文件夹解密!"
[ ! -e "$work/p" ] || fail "$last: made $work/p"

run 1 decrypt "$(win "$work/docs.qz")" --dest "$(win "$work/none")" --cert 3C2B1A
printed err "信息提示: 没有证书可用来解密!"

printf 'not a folder' >"$work/file.qz"
run 1 encrypt "$(win "$work/docs")" --dest "$(win "$work/file.qz")"
printed err "出错信息: 找开加密后保存的文件出错,请检查你输入解密后保存的路径参数是否正确!"

[ "$failures" -eq 0 ] && echo "folder commands: all checks passed"
exit $((failures > 0))
