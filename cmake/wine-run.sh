#!/usr/bin/env bash
# wine-run.sh [--locale LOCALE] PREFIX PROGRAM [ARG...]
# Runs a Windows program under 64-bit Wine in a prefix that belongs to the build tree, under the
# Chinese locale so that the ANSI code page is 936, or under LOCALE (en_US.UTF-8: code page 1252).
# A prefix keeps to one locale. Creates the prefix on first use.
set -euo pipefail
locale=zh_CN.UTF-8
if [ "${1:-}" = --locale ]; then locale=$2; shift 2; fi
WINEPREFIX=$1; shift
export WINEPREFIX WINEDEBUG=-all LC_ALL=$locale WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.qz-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qz-ready" ]; then
      wine wineboot -u </dev/null >/dev/null 2>&1
      # No window manager under Xvfb: unmanaged windows avoid Wine's 2 s wait on hide/destroy.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
      # A Western Windows has the Chinese fonts the system's font links name; here the Chinese face
      # installed stands in for SimSun, as the Chinese locale arranges by itself.
      case $locale in
        zh_CN*) ;;
        *) wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei' /f \
             </dev/null >/dev/null 2>&1 ;;
      esac
      wineserver -w
      touch "$WINEPREFIX/.qz-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
