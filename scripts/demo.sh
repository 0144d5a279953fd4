#!/usr/bin/env bash
# demo.sh [CERT.p12 PASSWORD]: the main job on a fresh machine. Installs what is missing, builds
# the Linux tool, imports the given certificate (or a generated demo certificate) into a demo
# home, encrypts a sample file for it, decrypts it again and compares.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target qzfolder >/dev/null

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/home"
qz() { "$root/build/native/qzfolder" --home "$demo/home" "$@"; }
say() { printf '\n== %s\n' "$*"; }

if [ $# -ge 1 ]; then
  cert=$1 password=${2:-}
else
  say "generating a demo certificate (RSA 2048, key encipherment)"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$demo/demo.key" -out "$demo/demo.crt" -days 30 \
    -subj "/CN=ZaDizuvOzar Demo" -addext "keyUsage=critical,keyEncipherment" 2>/dev/null
  openssl pkcs12 -export -in "$demo/demo.crt" -inkey "$demo/demo.key" -out "$demo/demo.p12" -passout pass:demo
  cert=$demo/demo.p12 password=demo
fi

say "importing $cert into $demo/home"
serial=$(qz import "$cert" --password "$password" | cut -f1)
qz certs MY

say "encrypting a sample file for $serial"
printf 'Orvel文件夹加密: a sample file of ZaDizuvOzar, written %s.\n' "$(date -u)" > "$demo/sample.txt"
head -c 300000 /dev/urandom >> "$demo/sample.txt"
qz encrypt-file "$demo/sample.txt" "$demo/sample.txt.qz" "$serial"
qz inspect "$demo/sample.txt.qz"

say "decrypting it again"
qz decrypt-file "$demo/sample.txt.qz" "$demo/sample.decrypted.txt" "$serial"
if cmp -s "$demo/sample.txt" "$demo/sample.decrypted.txt"; then
  echo "round trip ok: $demo/sample.decrypted.txt equals $demo/sample.txt ($(wc -c < "$demo/sample.txt") bytes)"
else
  echo "round trip FAILED" >&2
  exit 1
fi
