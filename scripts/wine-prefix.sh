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
  # Wine draws captions, menus and message boxes in "MS Shell Dlg" with the ANSI character set,
  # which under code page 932 gives boxes for Japanese: as on a Japanese system, these fonts get
  # a Japanese face ("MS UI Gothic", substituted below) with the default character set.
  mapfile -t metrics < <(python3 -c '
import struct
def logfont(weight):
    fields = struct.pack("<5i8B", -11, 0, 0, 0, weight, 0, 0, 0, 1, 0, 0, 0, 0x22)
    face = "MS UI Gothic".encode("utf-16-le").ljust(64, b"\0")
    return "hex:" + ",".join("%02x" % b for b in fields + face)
for name, weight in (("CaptionFont", 700), ("SmCaptionFont", 700), ("MenuFont", 400),
                     ("MessageFont", 400), ("StatusFont", 400), ("IconFont", 400)):
    print("\"%s\"=%s" % (name, logfont(weight)))')
  # regedit reads Japanese value names only from UTF-16LE with a BOM and CRLF line ends.
  settings=$(printf '%s\r\n' \
    'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]' "${metrics[@]}" '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
    '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' '"MS UI Gothic"="IPAPGothic"' \
    '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' | iconv -f UTF-8 -t UTF-16LE | base64 -w0)
  reg="$prefix/peupdate-settings.reg"
  if [[ ! -f "$prefix/.peupdate-booted" ]]; then
    rm -rf "$prefix"
    "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.peupdate-booted"
  fi
  # The settings are imported again whenever they change, into the prefix as it is.
  if [[ "$(tail -c +3 "$reg" 2>/dev/null | base64 -w0)" != "$settings" ]]; then
    { printf '\xff\xfe'; base64 -d <<<"$settings"; } > "$reg.new"
    "$WINELOADER" regedit /S "$reg.new" </dev/null >/dev/null 2>&1
    wineserver -w
    mv "$reg.new" "$reg"
  fi
  # Wine draws the title bar's close box as a glyph of its symbol font, Marlett. Started through the
  # loader itself, as here, Wine does not find its own fonts folder, and the glyph falls back to the
  # letter "r" of a text font; from the Windows fonts folder it is found.
  fonts="$prefix/drive_c/windows/Fonts"
  if [[ ! -f "$fonts/marlett.ttf" && -f /usr/share/wine/fonts/marlett.ttf ]]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
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
