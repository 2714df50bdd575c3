#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine in Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -Wno-dev >/dev/null
cmake --build build
# GUI tests need a display: every test program runs inside one Xvfb session.
exec xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build --output-on-failure -j2
