#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs the system tests and the whole-system reliability tests under valgrind
# memcheck. Any memory error, and any definite, indirect or possible leak,
# fails the run.
#
#   scripts/valgrind.sh [--quick] [BUILD_DIR]
#
# BUILD_DIR is a built normal (not sanitizer) build, build/normal by default.
# --quick runs a short subset; scripts/test.sh runs that through ctest.
set -uo pipefail
cd "$(dirname "$0")/.."
quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
build=${1:-build/normal}
if ! command -v valgrind >/dev/null; then
  echo "valgrind.sh: valgrind is not installed; skipped"
  exit 77
fi

log_dir=$build/valgrind
mkdir -p "$log_dir"
status=0

# The environment the system test programs would otherwise set up by
# starting themselves again (which under valgrind would start valgrind's own
# tool program instead).
export QVZ_SYSTEST_PREPARED=1
export LD_LIBRARY_PATH=$build/companions
export QVRELOC_SHAREDSTATEDIR=/proc/driver/qvstate
unset QVRELOC_FAIL QVPCIBRD_SYSTEM

# run NAME PROGRAM [ARGS...]: one program under memcheck.
run() {
  local name=$1; shift
  local log=$log_dir/$name.log
  rm -f "$log" "$log".*
  if [ ! -x "$1" ]; then
    echo "valgrind $name: $1 is not built"
    status=1
    return
  fi
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    --suppressions=tests/reliability/valgrind.supp --num-callers=40 --log-file="$log.%p" "$@" >"$log" 2>&1
  local rc=$?
  # Keep only the reports of processes that found something.
  local bad=0
  for f in "$log".*; do
    [ -e "$f" ] || continue
    if grep -q "ERROR SUMMARY: [1-9]" "$f"; then
      bad=1
      cat "$f"
    fi
  done
  if [ $rc -eq 77 ]; then
    echo "valgrind $name: skipped ($(tail -n 1 "$log"))"
    return
  fi
  if [ $rc -ne 0 ] || [ $bad -ne 0 ]; then
    tail -n 30 "$log"
    echo "valgrind $name: FAILED (exit $rc), reports in $log_dir"
    status=1
  else
    echo "valgrind $name: no error, no leak ($(grep -c '^\[       OK \]' "$log") tests)"
    rm -f "$log".*
  fi
}

if [ $quick -eq 1 ]; then
  run system "$build/tests/system/system_tests" --gtest_filter='FirmwareUpdate.*:Attributes.*'
  run vanishing "$build/tests/reliability/reliability_vanishing"
  QVZ_PROPERTY_IMAGES=60 run property "$build/tests/reliability/reliability_firmware_property"
else
  run system "$build/tests/system/system_tests"
  run vanishing "$build/tests/reliability/reliability_vanishing"
  QVZ_PROPERTY_IMAGES=400 run property "$build/tests/reliability/reliability_firmware_property"
  QVZ_STRESS_ITERATIONS=5 run stress "$build/tests/reliability/reliability_stress"
fi
exit $status
