#!/usr/bin/env bash
# qzfolder_cli.sh CERTS linux QZFOLDER
# qzfolder_cli.sh CERTS windows WINE_RUN PREFIX QZFOLDER_EXE
# The tool's contract with shells and scripts: exit codes, "error CODE: TEXT", usage lines and
# the tab-separated listings.
set -uo pipefail
certs=$1 side=$2; shift 2
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
if [ "$side" = linux ]; then
  tool=$1
  qz() { "$tool" --home "$work/home" "$@"; }
  p() { echo "$1"; }
else
  wine_run=$1 prefix=$2 tool=$3
  qz() { "$wine_run" "$prefix" "$tool" "$@"; }
  p() { echo "Z:$1"; }
fi

printf 'abc' > "$work/short.qz"
failed=0
# expect NAME EXIT STREAM PATTERN -- ARGS...: runs qzfolder, checks the exit code and that the
# stream (out or err) holds the fixed text (an empty one checks nothing).
expect() {
  local name=$1 code=$2 stream=$3 pattern=$4; shift 5
  qz "$@" >"$work/out" 2>"$work/err" </dev/null
  local rc=$?
  if [ "$rc" -ne "$code" ] || { [ -n "$pattern" ] && ! grep -qF -- "$pattern" "$work/$stream"; }; then
    echo "FAIL $name: exit $rc (want $code), $stream lacks '$pattern'"; sed 's/^/  | /' "$work/out" "$work/err"; failed=1
  else
    echo "ok   $name"
  fi
}
tab=$'\t'
expect "no command"            2 err "Usage: qzfolder"                -- 
expect "missing argument"      2 err "Usage: qzfolder decrypt-file"   -- decrypt-file onlyone
expect "unknown store"         2 err "Usage: qzfolder certs"          -- certs NOSUCH
expect "help of a command"     0 out "Usage: qzfolder encrypt-file"   -- encrypt-file --help
expect "missing encrypted file" 1 err "error 2017: "                  -- decrypt-file "$(p "$work/none.qz")" "$(p "$work/x")" 0A1B
expect "missing plain file"    1 err "error 2001: "                   -- encrypt-file "$(p "$work/none")" "$(p "$work/x.qz")" 0A1B
expect "damaged header"        1 err "error 2018: "                   -- inspect "$(p "$work/short.qz")"
expect "unreadable import"     1 err "error: "                        -- import "$(p "$work/none.p12")"
expect "import to ADDRESSBOOK" 0 out "3C2B1A${tab}ADDRESSBOOK"        -- import "$(p "$certs/carol2048.crt")"
expect "import to MY"          0 out "0A1B${tab}MY"                   -- import "$(p "$certs/alice1024.p12")" --password test
expect "list ADDRESSBOOK"      0 out "3C2B1A${tab}Carol 2048${tab}Carol 2048${tab}20" -- certs ADDRESSBOOK
expect "list MY"               0 out "0A1B${tab}Alice 1024${tab}Alice 1024${tab}20"   -- certs
expect "encrypt"               0 out ""                               -- encrypt-file "$(p "$certs/carol2048.crt")" "$(p "$work/c.qz")" 0A1B 3C2B1A
expect "inspect"               0 out "recipient${tab}3C2B1A${tab}268" -- inspect "$(p "$work/c.qz")"
expect "not a recipient"       1 err "error 2028: "                   -- decrypt-file "$(p "$work/c.qz")" "$(p "$work/c")" 0080AB

if [ "$side" = linux ]; then
  expect "encrypted key without its password" 1 err "encrypted"   -- import "$certs/alice1024-encrypted.pem"
  expect "encrypted key with its password"    0 out "0A1B${tab}MY" -- import "$certs/alice1024-encrypted.pem" --password test
  # Imports at the same time into one store: every certificate must be there afterwards.
  lost=0
  for round in 1 2 3 4 5; do
    home="$work/parallel$round"
    for f in alice1024.crt bob2048.crt carol2048.crt dave-ec.crt mallory.crt; do
      "$tool" --home "$home" import "$certs/$f" >/dev/null 2>&1 </dev/null &
    done
    wait
    count=$("$tool" --home "$home" certs ADDRESSBOOK | wc -l)
    [ "$count" -eq 5 ] || { echo "FAIL parallel imports, round $round: $count of 5 certificates"; lost=1; failed=1; }
  done
  [ "$lost" -eq 1 ] || echo "ok   parallel imports"
fi

# A hostile first file must not make the tool allocate in proportion to its "&": 100 MB of them,
# once without room for their key block lengths and once with it.
u32le() { printf "\\x%02x\\x%02x\\x%02x\\x%02x" $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
ampersands() { head -c "$1" /dev/zero | tr '\0' '&'; }
# expect_small_peak NAME MAX_KIB -- ARGS...: the tool's peak resident memory stays below MAX_KIB.
expect_small_peak() {
  local name=$1 max=$2; shift 3
  /usr/bin/time -f %M -o "$work/peak" "$tool" --home "$work/home" "$@" >/dev/null 2>&1 </dev/null
  local peak; peak=$(tail -1 "$work/peak")
  if [ "$peak" -lt "$max" ]; then echo "ok   $name (peak $peak KiB)"; else echo "FAIL $name: peak $peak KiB (want < $max)"; failed=1; fi
}
if [ "$side" = linux ]; then
  mkdir -p "$work/amp.qz" "$work/fit.qz"
  n=$((100 * 1024 * 1024))
  { printf "$(u32le $n)"; ampersands $n; } > "$work/amp.qz/a.qz"
  n=$((20 * 1024 * 1024))
  { printf "$(u32le $n)"; ampersands $n; head -c $((4 * n)) /dev/zero; } > "$work/fit.qz/a.qz"
  for f in amp fit; do
    expect_small_peak "$f: decrypting the file" 65536 -- decrypt-file "$work/$f.qz/a.qz" "$work/$f.out" 0A1B
    expect_small_peak "$f: the folder's certificate scan" 65536 -- decrypt "$work/$f.qz" --dest "$work/$f.plain"
  done
  expect "list without room for its key block lengths" 1 err "error 2018: " -- decrypt-file "$work/amp.qz/a.qz" "$work/x" 0A1B
fi
exit $failed
