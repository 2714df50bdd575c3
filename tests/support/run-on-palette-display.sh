#!/usr/bin/env bash
# Runs a test program on an 8-bit X screen of its own, a real palette display:
#   run-on-palette-display.sh WINEPREFIX COMMAND [ARGUMENTS...]
# Wine takes the screen's depth from the desktop process of the prefix, and that process outlives
# the last program of an earlier run by about a second. A program started before it has gone joins
# that desktop and sees its screen instead of this one, so wait for it first (ten seconds at most).
set -u
prefix=$1
shift
desktop_alive() {
  local process
  for process in /proc/[0-9]*; do
    tr '\0' ' ' <"$process/cmdline" 2>/dev/null | grep -q 'explorer\.exe /desktop' || continue
    tr '\0' '\n' <"$process/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix" && return 0
  done
  return 1
}
for _ in $(seq 100); do
  desktop_alive || break
  sleep 0.1
done
exec xvfb-run -a -s "-screen 0 1024x768x8" "$@"
