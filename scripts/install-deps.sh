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
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# The tests run slapd themselves, on a loopback port of their own: the system's slapd service
# that installing the package would start is kept from starting (policy-rc.d refuses it).
policy=/usr/sbin/policy-rc.d
keep_services_stopped() {
  [ -e "$policy" ] && return
  printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
  as_root chmod +x "$policy"
  trap 'as_root rm -f "$policy"' EXIT
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  keep_services_stopped
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows tests run under the Chinese locale so that Wine's ANSI code page is 936, and some
# of them again under a Western one (code page 1252).
for wanted in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$wanted\.utf-\?8\$"; then
    as_root sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
done
