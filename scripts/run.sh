#!/usr/bin/env bash
# Builds PeUpdate.exe and runs it under Wine. Without a display it runs in Xvfb, saves a
# screenshot to build/screenshot.png after a few seconds and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -Wno-dev >/dev/null
cmake --build build --target PeUpdate
prefix="$root/build/wineprefix"
if [[ -n "${DISPLAY:-}" ]]; then
  scripts/wine-prefix.sh "$prefix" start
  build/wine-run.sh build/PeUpdate.exe || status=$?
  scripts/wine-prefix.sh "$prefix" stop
  exit "${status:-0}"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  scripts/wine-prefix.sh "$1" start
  build/wine-run.sh build/PeUpdate.exe & pid=$!
  sleep 5
  import -window root build/screenshot.png && echo "screenshot: build/screenshot.png"
  kill $pid 2>/dev/null || true
  scripts/wine-prefix.sh "$1" stop' run "$prefix"
