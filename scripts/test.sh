#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, once in an
# AddressSanitizer + UndefinedBehaviorSanitizer build; then the reliability
# stages, each in a build of its own with only the targets it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
jobs=$(nproc)
status=0

run_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure --no-label-summary -j "$jobs") || status=1
}

# run_stage DIR "TARGETS" REGEX CMAKE-ARGS...: builds only TARGETS in DIR and
# runs the tests whose names match REGEX.
run_stage() {
  local dir=$1 targets=$2 regex=$3; shift 3
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target $targets
  (cd "$dir" && ctest --output-on-failure --no-label-summary -j "$jobs" -R "$regex") || status=1
}

echo "== normal build =="
run_build build/normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_build build/asan -DCMAKE_BUILD_TYPE=Debug -DQVZ_SANITIZE=ON
echo "== ThreadSanitizer build: system tests and the concurrency stress test =="
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_stage build/tsan "system_tests system_scenarios reliability_stress" \
  '^(system\.|reliability\.ConcurrencyStress)' -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
echo "== fuzzing: libFuzzer targets, 15 s each (longer runs: scripts/fuzz.sh) =="
CC=clang CXX=clang++ run_stage build/fuzz fuzz_all '^fuzz\.run\.' \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVZ_FUZZ=ON -DQVZ_FUZZ_SECONDS=15
exit $status
