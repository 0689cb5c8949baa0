#!/usr/bin/env bash
# Crash recovery, in full: `velmor update` is killed with SIGKILL before every
# change it makes to the game folder in a three-patch update (downloads,
# extraction, merges, the version record, the final deletion list), and started
# again without a fault. Prints how many cases ended with the newest release,
# how many with the reinstall request, and how many otherwise (must be 0).
# CRASH_POINTS=N tries N points spread over the run instead of every one.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
log=$(mktemp "${TMPDIR:-/tmp}/velmor-bench-crash-XXXXXX")
trap 'rm -f "$log"' EXIT
VELMOR_CRASH_POINTS=${CRASH_POINTS:-all} "$build/tests/e2e/test_e2e" --gtest_filter='CrashRecovery.*' >"$log" 2>&1
status=$?
grep -E '^(crash recovery|  [a-z ]+:|[0-9]+ changes)' "$log"
if [[ $status -ne 0 ]]; then
  grep -E -A12 'Failure|killed before' "$log" | head -200
  echo "crash: FAILED"
  exit 1
fi
