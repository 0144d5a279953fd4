#!/usr/bin/env bash
# Regenerates the test certificates (kept in the tree: the golden files depend on their keys).
#   alice1024   1024-bit, serial 0A1B            key encipherment
#   bob2048     2048-bit, serial 0080AB          key encipherment + digital signature
#   carol2048   2048-bit, serial 3C2B1A          only ever put into ADDRESSBOOK
#   mallory     1024-bit, serial 00F00D, its .pem pairs the certificate with another key
#   dave-ec     an elliptic-curve key, serial 00EC01: no RSA key to wrap a session key with
set -euo pipefail
cd "$(dirname "$0")"
make_cert() {  # name bits serial cn keyusage
  openssl req -x509 -newkey "rsa:$2" -nodes -keyout "$1.key" -out "$1.crt" -days 36500 \
    -set_serial "$3" -subj "/O=ZaDizuvOzar Test/OU=Tests/CN=$4" \
    -addext "keyUsage=critical,$5" -addext "basicConstraints=CA:FALSE" 2>/dev/null
  cat "$1.crt" "$1.key" > "$1.pem"
  openssl pkcs12 -export -in "$1.crt" -inkey "$1.key" -out "$1.p12" -passout pass:test \
    -keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-3DES -macalg sha1 2>/dev/null
  rm "$1.key"
}
make_cert alice1024 1024 0x0A1B "Alice 1024" keyEncipherment
make_cert bob2048 2048 0x80AB "Bob 2048" "digitalSignature,keyEncipherment"
make_cert carol2048 2048 0x3C2B1A "Carol 2048" keyEncipherment
rm carol2048.pem carol2048.p12
make_cert mallory 1024 0xF00D "Mallory" keyEncipherment
openssl genrsa 1024 2>/dev/null > other.key
cat mallory.crt other.key > mallory.pem
rm other.key mallory.p12
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout dave.key -out dave-ec.crt \
  -days 36500 -set_serial 0xEC01 -subj "/O=ZaDizuvOzar Test/OU=Tests/CN=Dave EC" -addext "keyUsage=critical,keyAgreement" 2>/dev/null
rm dave.key
# alice's certificate with her key encrypted under the password "test" (PKCS #8, AES).
{ cat alice1024.crt; openssl pkcs8 -topk8 -in alice1024.pem -v2 aes-128-cbc -passout pass:test; } > alice1024-encrypted.pem
