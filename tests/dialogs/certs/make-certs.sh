#!/usr/bin/env bash
# Regenerates the certificates that only the dialog tests need (kept in the tree):
#   signer       serial 5161, digital signature only: no session key can be wrapped for it
#   nokeyusage   serial 5162, without a key-usage extension
set -euo pipefail
cd "$(dirname "$0")"
make_cert() {  # name serial cn [extension...]
  local name=$1 serial=$2 cn=$3
  shift 3
  openssl req -x509 -newkey rsa:1024 -nodes -keyout "$name.key" -out "$name.crt" -days 36500 \
    -set_serial "$serial" -subj "/O=ZaDizuvOzar Test/OU=Tests/CN=$cn" "$@" 2>/dev/null
  rm "$name.key"
}
make_cert signer 0x5161 "Signer Only" -addext "keyUsage=critical,digitalSignature" -addext "basicConstraints=CA:FALSE"
make_cert nokeyusage 0x5162 "No Key Usage" -addext "basicConstraints=CA:FALSE"
