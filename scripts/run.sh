#!/usr/bin/env bash
# Builds PeUpdate.exe and runs it under Wine: the shipped i686 one where this host can execute
# 32-bit programs, else the x86-64 build of the same tree. Without a display it runs in Xvfb, saves
# a screenshot to build/screenshot.png after a few seconds and closes the program.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
scripts/setup.sh
arch=$(runnable_arch)
if [[ $arch == i686 ]]; then
  echo "run: the shipped i686 PeUpdate.exe"
else
  host_runs_i686 || echo "run: the x86_64 PeUpdate.exe, since $i686_refusal"
fi
build_tree "$arch" PeUpdate
prefix="$root/build/$arch/wineprefix"
if [[ -n "${DISPLAY:-}" ]]; then
  scripts/wine-prefix.sh "$prefix" start "$arch"
  "build/$arch/wine-run.sh" "build/$arch/PeUpdate.exe" || status=$?
  scripts/wine-prefix.sh "$prefix" stop "$arch"
  exit "${status:-0}"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  scripts/wine-prefix.sh "$1" start "$2"
  "build/$2/wine-run.sh" "build/$2/PeUpdate.exe" & pid=$!
  sleep 5
  import -window root build/screenshot.png && echo "screenshot: build/screenshot.png"
  kill $pid 2>/dev/null || true
  scripts/wine-prefix.sh "$1" stop "$2"' run "$prefix" "$arch"
