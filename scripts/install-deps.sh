#!/usr/bin/env bash
# Installs every system package the build, the tests and the main job need.
# Idempotent: quiet and quick when all is there already.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libssl-dev libgcrypt20-dev libldap-dev googletest libcli11-dev libsimpleini-dev
  openssl slapd ldap-utils
  mingw-w64 mingw-w64-tools libwine-dev wine wine64 nsis
  xvfb xdotool imagemagick x11-utils locales fonts-wqy-microhei xcompmgr libfreetype-dev python3
  gpgsm gpg-agent time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows tests run under the Chinese locale so that Wine's ANSI code page is 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
