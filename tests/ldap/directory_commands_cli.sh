#!/usr/bin/env bash
# directory_commands_cli.sh CERTS linux QZFOLDER
# directory_commands_cli.sh CERTS windows WINE_RUN PREFIX QZFOLDER_EXE FORGET_EXE
# Run by ldap_fixture.py: `qzfolder directory` and `qzfolder lookup` against its directory, as a
# shell sees them. On Windows the settings file and "ADDRESSBOOK" are the prefix's own: the
# settings are removed and the directory's certificates forgotten before and after.
set -uo pipefail
certs=$1 side=$2; shift 2
work=$(mktemp -d)
if [ "$side" = linux ]; then
  tool=$1
  qz() { "$tool" --home "$work/home" "$@"; }
  win() { echo "$1"; }
  settings=("$work/home/zeVireve.ini")
  as_utf8() { tr -d '\r'; }
  forget() { :; }
else
  wine_run=$1 prefix=$2 tool=$3 forget_exe=$4
  qz() { "$wine_run" "$prefix" "$tool" "$@"; }
  win() { echo "Z:${1//\//\\}"; }
  settings=("$prefix/drive_c/windows/zeVireve.ini" "$prefix"/drive_c/users/*/AppData/Roaming/zeVireve.ini)
  as_utf8() { iconv -f GBK -t UTF-8 | tr -d '\r'; }  # the tool writes code page 936
  forget() { "$wine_run" "$prefix" "$forget_exe" </dev/null >/dev/null 2>&1; }
fi
rm -f "${settings[@]}"
forget
trap 'rm -rf "$work"; rm -f "${settings[@]}"; forget' EXIT

source "$(dirname "$0")/../cli/run_checks.sh"
# only_printed LINE...: the last run's standard output is exactly these lines.
only_printed() {
  [ "$(cat "$work/out")" = "$(printf '%s\n' "$@")" ] || { fail "$last: printed"; cat "$work/out"; }
}
settings_hold() { as_utf8 <"${settings[0]}" | grep -qxF -- "$1" || fail "$last: settings file lacks '$1'"; }

tab=$'\t'
issuer="ZaDizuvOzar Directory CA"
succeeded="信息提示: 查询成功,将所查询的证书写入列表中!"
unusable="信息提示: 查找失败,可能是配置文件夹出错!"
printf '%s\n' "$QZ_LDAP_PASSWORD" >"$work/password"
printf 'wrong\n' >"$work/wrong"

# Showing and writing the directory's settings; the password goes in through a file only and
# is never shown.
run 0 directory
only_printed "QZIP=" "QZPORT=0" "QZSDN=" "QZPASSWORD is empty"
run 0 directory --server 127.0.0.1 --port "$QZ_LDAP_PORT" --bind-dn "$QZ_LDAP_BIND_DN" \
  --password-file "$(win "$work/password")"
only_printed "QZIP=127.0.0.1" "QZPORT=$QZ_LDAP_PORT" "QZSDN=$QZ_LDAP_BIND_DN" "QZPASSWORD is set (not shown)"
settings_hold "QZPASSWORD=$QZ_LDAP_PASSWORD"
run 2 directory --password "$QZ_LDAP_PASSWORD"
run 1 directory --bind-dn "cn=$(printf 'x%.0s' {1..125})" --port 1
printed err "error: --bind-dn must be one line of at most 127 bytes"
run 1 directory --password-file "$(win "$work/none")"
run 0 directory
only_printed "QZIP=127.0.0.1" "QZPORT=$QZ_LDAP_PORT" "QZSDN=$QZ_LDAP_BIND_DN" "QZPASSWORD is set (not shown)"
! grep -qF -- "$QZ_LDAP_PASSWORD" "$work"/out "$work"/err || fail "the password was shown"

# One entry with an encryption and a signing certificate: one row, one certificate added.
run 0 lookup ann@example.com
only_printed "5A0001${tab}Ann Encryption${tab}$issuer" "$succeeded"
run 0 certs ADDRESSBOOK
printed out "5A0001${tab}Ann Encryption${tab}$issuer${tab}20"
! grep -q "^5A0002" "$work/out" || fail "$last: the signing certificate was added"
run 0 lookup ann@example.com
only_printed "$succeeded"

run 0 lookup 'team*'
only_printed "5A0101${tab}张三${tab}$issuer" "5A0102${tab}Team 2${tab}$issuer" "5A0103${tab}Team 3${tab}$issuer" "$succeeded"
run 0 lookup odd@example.com
only_printed "5A0201${tab}Odd Valid${tab}$issuer" "$succeeded"
run 0 lookup bulk@example.com
[ "$(grep -c "${tab}Bulk${tab}" "$work/out")" -eq 149 ] || fail "$last: not 149 rows"
printed out "5B0094${tab}Bulk${tab}$issuer"

run 1 lookup nobody@example.com
only_printed "信息提示: 查找失败!"
run 1 lookup ''
only_printed "信息提示: 请您必需输入要查询的电子邮件!"
run 1 lookup "$(printf 'a%.0s' {1..109})@example.com"
only_printed "信息提示: 要查询的电子邮件太长,不能超过120个字节!"

# Directories that cannot be used; the one that never answers ends with its message too.
run 0 directory --password-file "$(win "$work/wrong")"
run 1 lookup ann@example.com
only_printed "$unusable"
qz directory --password-file - <"$work/password" >/dev/null 2>&1 || fail "directory --password-file - (standard input)"
run 0 lookup ann@example.com
only_printed "$succeeded"
for port in "$QZ_LDAP_CLOSED_PORT" "$QZ_LDAP_SILENT_PORT"; do
  run 0 directory --port "$port" --password-file "$(win "$work/password")"
  run 1 lookup ann@example.com
  only_printed "$unusable"
done

# A certificate found in the directory is a recipient like any other.
mkdir -p "$work/docs"
printf 'alpha' >"$work/docs/a.txt"
run 0 import "$(win "$certs/alice1024.p12")" --password test
run 0 default 0A1B
run 0 encrypt "$(win "$work/docs")" --to 5A0001
run 0 inspect "$(win "$work/docs.qz/a.txt.qz")"
printed out "recipient${tab}5A0001${tab}140"

[ "$failures" -eq 0 ] && echo "all directory command checks passed"
exit $((failures > 0))
