#!/usr/bin/env bash
# Builds the benchmarks and runs each under Wine in Xvfb, for the shipped i686 build where this host
# can execute 32-bit programs, else for the x86-64 build; every figure is printed side by side with
# what it is measured against, and each line names the architecture it was measured on.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
scripts/setup.sh
arch=$(runnable_arch)
host_runs_i686 || echo "bench: x86_64 only, since $i686_refusal"
build_tree "$arch" bench_zlib bench_update bench_image bench_program PeUpdate
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  arch=$2
  scripts/wine-prefix.sh "$1" start "$arch"
  status=0
  run() { "build/$arch/wine-run.sh" "$@" | sed "s/^/[$arch] /"; return "${PIPESTATUS[0]}"; }
  for bench in bench_zlib bench_update bench_image; do
    echo "== $bench ($arch)"; run "build/$arch/bench/$bench.exe" || status=1
  done
  echo "== bench_program ($arch)"
  run "build/$arch/bench/bench_program.exe" "$PWD/build/$arch/PeUpdate.exe" \
    "$PWD/build/$arch/tests/app/version_5_1_5_9.dll" || status=1
  scripts/wine-prefix.sh "$1" stop "$arch"
  exit $status' bench "$root/build/$arch/wineprefix" "$arch"
