#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds everything and runs every test, one stage per preset of
# CMakePresets.json: the normal build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the ThreadSanitizer build (system tests
# and the concurrency stress test) and a short libFuzzer run of every fuzz
# target (longer runs: scripts/fuzz.sh); after the normal build, the kernel
# stage runs the driver and the lab in a virtual machine.
#
# Ends with one line counting every test of every stage, and exits non-zero
# when anything failed: a stage that does not build counts as one failure.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test || exit 1
jobs=$(nproc)

log_dir=build/test-logs
mkdir -p "$log_dir"
passed=0 failed=0 skipped=0

# run_stage PRESET TITLE: configures, builds and tests one preset, and adds
# its counts from ctest's JUnit report to the totals.
run_stage() {
  local preset=$1 title=$2 started=$SECONDS junit=$log_dir/$1.xml
  echo "== $title =="
  rm -f "$junit"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    echo "$preset: the build failed"
    failed=$((failed + 1))
    return
  fi
  ctest --preset "$preset" -j "$jobs" --output-junit "$PWD/$junit"
  local counts
  if ! counts=$(python3 scripts/junit-counts.py "$junit"); then
    echo "$preset: ctest wrote no report"
    failed=$((failed + 1))
    return
  fi
  read -r p f s <<<"$counts"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
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

echo "all stages: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
