#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, once in an
# AddressSanitizer + UndefinedBehaviorSanitizer build; then the reliability
# stages, each in a build of its own with only the targets it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
status=0

run_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs") || status=1
}

# run_stage DIR "TARGETS" LABEL CMAKE-ARGS...: builds only TARGETS in DIR and
# runs the tests carrying LABEL.
run_stage() {
  local dir=$1 targets=$2 label=$3; shift 3
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target $targets
  (cd "$dir" && ctest --output-on-failure -j "$jobs" -L "$label") || status=1
}

echo "== normal build =="
run_build build/normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_build build/asan -DCMAKE_BUILD_TYPE=Debug -DQVZ_SANITIZE=ON
echo "== fuzzing: libFuzzer targets, 15 s each (longer runs: scripts/fuzz.sh) =="
CC=clang CXX=clang++ run_stage build/fuzz fuzz_all '^fuzz$' \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVZ_FUZZ=ON -DQVZ_FUZZ_SECONDS=15
exit $status
