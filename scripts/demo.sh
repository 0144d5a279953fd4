#!/usr/bin/env bash
# demo.sh [CERT.p12 PASSWORD]: the main job on a fresh machine. Installs what is missing, builds
# the Linux tool, imports the given certificate (or a generated demo certificate) into a demo
# home, makes it the default certificate, encrypts a sample folder into "sample.qz", decrypts
# that again and compares the two folders.
# demo.sh --windows: the same job as a Windows user sees it (see windows_demo below).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

# Under Wine on a virtual display: builds the library, registers it, right-clicks
# "Orvel文件夹加密" on a sample folder through the stand-in for Explorer, sets the default
# certificate with 更改..., presses 加密, checks that the Linux build reads the files, then
# "Orvel文件夹解密" and 解密, and compares the folders. Screenshots go to build/demo/.
windows_demo() {
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc)" --target qzfolder >/dev/null
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j"$(nproc)" --target ZaDizuvOzar qzfolder shell_standin >/dev/null
  rm -rf "$root/build/demo"
  mkdir -p "$root/build/demo"
  python3 tests/shell/shell_tests.py --emulator cmake/wine-run.sh --work build/demo/wine \
    --dll build/win64/ZaDizuvOzar.dll --standin build/win64/tests/shell/shell_standin.exe \
    --native-qzfolder build/native/qzfolder --shots build/demo end_to_end
  echo "screenshots: $(ls "$root"/build/demo/*.png | xargs -n1 basename | tr '\n' ' ')"
}
if [ "${1:-}" = "--windows" ]; then
  windows_demo
  exit
fi
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

say "making $serial the default certificate (zeVireve.ini)"
qz default "$serial"
cat "$demo/home/zeVireve.ini"

say "a sample folder"
mkdir -p "$demo/sample/subfolder"
printf 'Orvel文件夹加密: a sample file of ZaDizuvOzar, written %s.\n' "$(date -u)" > "$demo/sample/说明.txt"
head -c 300000 /dev/urandom > "$demo/sample/random.bin"
: > "$demo/sample/empty"
echo "subfolders are not entered" > "$demo/sample/subfolder/left-alone.txt"
ls -l "$demo/sample"

say "encrypting the folder into $demo/sample.qz"
qz encrypt "$demo/sample"
ls -l "$demo/sample.qz"
qz inspect "$demo/sample.qz/random.bin.qz"

say "decrypting it into $demo/sample.decrypted"
qz decrypt "$demo/sample.qz" --dest "$demo/sample.decrypted"
ls -l "$demo/sample.decrypted"
if diff -r --exclude=subfolder "$demo/sample" "$demo/sample.decrypted"; then
  echo "round trip ok: every file directly in $demo/sample came back byte for byte"
  echo "the same job through the Explorer menu and the dialogs, under Wine: bash scripts/demo.sh --windows"
else
  echo "round trip FAILED" >&2
  exit 1
fi
