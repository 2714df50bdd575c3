#!/usr/bin/env bash
# usage: wine-prefix.sh PREFIX start|stop i686|x86_64
# start: makes the Wine prefix of that architecture if needed (no prompts), sets it up for unattended
# GUI runs and keeps a wineserver alive so each test process starts fast. stop: ends that server.
set -euo pipefail
prefix=$1
action=$2
source "$(dirname "$0")/wine-env.sh" "$prefix" "${3:?architecture: i686 or x86_64}"

case "$action" in
start)
  if [[ ! -f "$prefix/.peupdate-ready" ]]; then
    rm -rf "$prefix"
    "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
    reg="$prefix/peupdate-settings.reg"
    # regedit reads Japanese value names only from UTF-16LE with a BOM and CRLF line ends.
    printf '%s\r\n' \
      'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
      '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' '"MS UI Gothic"="IPAPGothic"' \
      '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' '' |
      iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    "$WINELOADER" regedit /S "$reg" </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.peupdate-ready"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true  # 2: a server of this prefix is running already
  # The first process of a session starts helpers that hold its output open for a while.
  "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1 || true
  ;;
stop)
  wineserver -k </dev/null >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: wine-prefix.sh PREFIX start|stop i686|x86_64" >&2
  exit 2
  ;;
esac
