#!/usr/bin/env bash
# qzfolder_codepage.sh CERTS WINE_RUN LOCALE PREFIX QZFOLDER_EXE
# qzfolder under Wine in a prefix of another ANSI code page (en_US.UTF-8: 1252): a folder whose
# name and file name need that code page goes there and back, and a file whose name the code page
# cannot hold stops the run with the engine's open error instead of being passed over or written
# under a '?' name. Runs its own Wine server for the prefix.
set -uo pipefail
certs=$1 wine_run=$2 locale=$3 prefix=$4 tool=$5
work=$(mktemp -d)
export WINEPREFIX=$prefix
"$wine_run" --locale "$locale" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1  # makes the prefix once
wineserver -w
wineserver -p
"$wine_run" --locale "$locale" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1
settings="$prefix/drive_c/windows/zeVireve.ini"
trap 'rm -rf "$work"; rm -f "$settings"; wineserver -k 2>/dev/null' EXIT

qz() { "$wine_run" --locale "$locale" "$prefix" "$tool" "$@"; }
win() { echo "Z:${1//\//\\}"; }
as_utf8() { iconv -f GBK -t UTF-8 | tr -d '\r'; }  # the tool prints our texts in code page 936
source "$(dirname "$0")/../cli/run_checks.sh"
holds() { [ "$(ls "$1")" = "$2" ] || fail "$last: $1 holds '$(ls "$1")', want '$2'"; }

rm -f "$settings"
run 0 import "$(win "$certs/alice1024.p12")" --password test
run 0 default 0a1b

mkdir "$work/Café"
printf 'naïve content' >"$work/Café/naïve.txt"
run 0 encrypt "$(win "$work/Café")"
printed out "信息提示: 加密成功!"
holds "$work/Café.qz" "naïve.txt.qz"
run 0 decrypt "$(win "$work/Café.qz")" --dest "$(win "$work/Café plain")" --cert 0A1B
printed out "信息提示: 解密成功!"
cmp -s "$work/Café/naïve.txt" "$work/Café plain/naïve.txt" || fail "$last: naïve.txt came back different"

# Names code page 1252 cannot hold: an emoji, Chinese.
for name in "😀.txt" "中文.txt"; do
  rm -rf "$work/in" "$work/in.qz" "$work/back" "$work/enc.qz"
  mkdir "$work/in"
  printf 'x' >"$work/in/$name"
  run 1 encrypt "$(win "$work/in")"
  printed err "出错信息: 打开加密文件时出错,请检查你输入加密的路径参数是否正确!"
  holds "$work/in.qz" ""

  mkdir "$work/enc.qz"
  cp "$work/Café.qz/naïve.txt.qz" "$work/enc.qz/$name.qz"
  # The scan cannot read the recipients of the only file, so no certificate is offered.
  run 1 decrypt "$(win "$work/enc.qz")" --dest "$(win "$work/back")" --cert 0A1B
  cat "$work/out" "$work/err" >"$work/all"
  printed all "信息提示: 获取用于解密的数字证书是产生异常!"
  printed all "信息提示: 没有证书可用来解密!"
  [ ! -e "$work/back" ] || holds "$work/back" ""
done

[ "$failures" -eq 0 ] && echo "qzfolder under $locale: all checks passed"
exit $((failures > 0))
