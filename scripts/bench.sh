#!/usr/bin/env bash
# Builds the benchmarks and runs each under Wine in Xvfb; every figure is printed side by side
# with what it is measured against.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -Wno-dev >/dev/null
cmake --build build --target bench_zlib bench_update bench_image bench_program
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  scripts/wine-prefix.sh "$1" start
  status=0
  for bench in bench_zlib bench_update bench_image; do
    echo "== $bench"; build/wine-run.sh "build/bench/$bench.exe" || status=1
  done
  echo "== bench_program"
  build/wine-run.sh build/bench/bench_program.exe "$PWD/build/PeUpdate.exe" \
    "$PWD/build/tests/app/version_5_1_5_9.dll" || status=1
  scripts/wine-prefix.sh "$1" stop
  exit $status' bench "$root/build/wineprefix"
