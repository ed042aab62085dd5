#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds everything and runs every test: one stage per workflow preset of
# CMakePresets.json (configure, build, test), in this order: the normal
# build, the kernel stage (the driver and the lab in a virtual machine, after
# the normal build), the AddressSanitizer + UndefinedBehaviorSanitizer build,
# the ThreadSanitizer build (system tests and the concurrency stress test), a
# short libFuzzer run of every fuzz target (longer runs: scripts/fuzz.sh) and
# the Debian packages. The presets say what each stage builds and tests; this
# script only runs them and adds up their JUnit reports.
#
# It installs nothing: scripts/setup.sh test installs what the stages need.
#
# Ends with one line counting every test of every stage, and exits non-zero
# when anything failed: a stage that does not build counts as one failure.
set -uo pipefail
cd "$(dirname "$0")/.."
# Both the builds and ctest use every processor.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}

# The test presets write their JUnit reports here (build/test-logs/PRESET.xml).
log_dir=build/test-logs
mkdir -p "$log_dir"
passed=0 failed=0 skipped=0

# run_stage PRESET TITLE: runs the workflow preset PRESET and adds the counts
# of its JUnit report to the totals. Without a report the stage did not
# configure or build, which counts as one failure.
run_stage() {
  local preset=$1 title=$2 started=$SECONDS junit=$log_dir/$1.xml status counts
  echo "== $title =="
  rm -f "$junit"
  cmake --workflow --preset "$preset"
  status=$?
  if ! counts=$(python3 scripts/junit-counts.py "$junit"); then
    echo "$preset: the build failed (no test report; exit status $status)"
    failed=$((failed + 1))
    return
  fi
  read -r p f s <<<"$counts"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then
    echo "$preset: ctest failed although no test did (exit status $status)"
    failed=$((failed + 1))
  fi
  echo "$preset: $p passed, $f failed, $s skipped in $((SECONDS - started)) s"
}

# run_kernel_stage: boots the kernel lab once (scripts/kernel-lab.sh) and runs
# tests/kernel/checks.py in it against the real driver, the real sysfs PCI
# bridge library and the lab, adding its counts to the totals. A machine that
# does not boot, hangs or logs a kernel fault counts as one more failure.
run_kernel_stage() {
  local started=$SECONDS log=$log_dir/kernel.log status counts
  echo "== kernel: the driver and the lab in a virtual machine (docs/kernel-vm.md) =="
  scripts/kernel-lab.sh --timeout 240 -- python3 tests/kernel/checks.py 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  counts=$(sed -n 's/^kernel: \([0-9]*\) passed, \([0-9]*\) failed.*/\1 \2/p' "$log" | tail -n 1)
  if [ -z "$counts" ]; then
    echo "kernel: the checks gave no result (scripts/kernel-lab.sh exited with $status)"
    failed=$((failed + 1))
    return
  fi
  read -r p f <<<"$counts"
  passed=$((passed + p)) failed=$((failed + f))
  if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then
    echo "kernel: the machine failed although every check passed (exit status $status)"
    failed=$((failed + 1))
  fi
  echo "kernel: $p passed, $f failed in $((SECONDS - started)) s"
}

run_stage normal "normal build"
run_kernel_stage
run_stage asan "AddressSanitizer + UndefinedBehaviorSanitizer build"
run_stage tsan "ThreadSanitizer build: system tests and the concurrency stress test"
run_stage fuzz "fuzzing: libFuzzer targets, 15 s each"
run_stage packaging "Debian packages: built from the sources, linted and used from a temporary root"

echo "all stages: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
