#!/usr/bin/env bash
# Installs what is missing, builds both architectures and runs the tests under Wine in Xvfb: every
# test of the x86-64 build on every host, and the whole i686 suite (the exe we ship) wherever the
# host can execute 32-bit programs; elsewhere only the i686 build's static checks.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
scripts/setup.sh
build_tree i686
build_tree x86_64

# GUI tests need a display: each suite runs inside one Xvfb session. Focus and activation under an
# Xvfb without a window manager can arrive late on a fresh machine, so a test program that fails is
# run once more; every failed run is reported by program and failed test, in the output and in the
# summary at the end, so that a flaky test never passes unseen.
retries=()
run_suite() {
  local arch=$1 dir="build/$1" attempt rerun=()
  for attempt in 1 2; do
    if xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" --output-on-failure -j2 "${rerun[@]}"; then
      return 0
    fi
    local programs cases
    programs=$(cut -d: -f2 "$dir/Testing/Temporary/LastTestsFailed.log" | paste -sd' ')
    cases=$(grep -ho '^\[  FAILED  \] [A-Za-z_][A-Za-z0-9_/]*\.[A-Za-z0-9_/]*' "$dir/Testing/Temporary/LastTest.log" | cut -c14- | sort -u | paste -sd' ')
    retries+=("$arch run $attempt failed: $programs (tests: ${cases:-none named})")
    echo "== $arch run $attempt failed: $programs (tests: ${cases:-none named})"
    rerun=(--rerun-failed)
  done
  return 1
}

status=0
i686_runs=1
if host_runs_i686; then
  echo "suites: i686 (shipped) and x86_64, both whole: this host executes 32-bit programs"
  echo "== i686 suite"
  run_suite i686 || status=$?
else
  i686_runs=0
  echo "suites: x86_64 whole, i686 static checks only: $i686_refusal"
  echo "== i686 static checks"
  ctest --test-dir build/i686 --output-on-failure -L static || status=$?
fi
echo "== x86_64 suite"
run_suite x86_64 || status=$?
if (( ${#retries[@]} )); then
  echo "== failed runs (a program that passed later was run again):"
  printf '  %s\n' "${retries[@]}"
else
  echo "== every test program passed on its first run"
fi
(( i686_runs )) || echo "== the i686 suite did not run, only its static checks: $i686_refusal"
exit "$status"
