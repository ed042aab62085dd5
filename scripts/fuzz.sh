#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Fuzzing campaigns: builds the libFuzzer targets with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer in build/fuzz, then runs each target for a
# while on its growing corpus (build/fuzz/fuzz/targets/work/corpus/NAME).
#
#   scripts/fuzz.sh [-s SECONDS] [TARGET...]
#
# SECONDS per target defaults to 600; TARGET names are those of fuzz/corpus
# (firmware_image, payload_decoder, ini_file, slot_path, json_details,
# driver_properties); all of them by default. Findings land in
# build/fuzz/fuzz/targets/work/artifacts/TARGET/; copy each into
# fuzz/regressions/TARGET/ under a telling name once it is fixed. Every run
# appends one line to build/fuzz/fuzz/targets/work/runs.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=600
if [ "${1:-}" = "-s" ]; then
  seconds=$2
  shift 2
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi

cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target fuzz_all -j "$(nproc)"
work=build/fuzz/fuzz/targets/work
status=0
for t in "${targets[@]}"; do
  maxlen=4096
  [ "$t" = payload_decoder ] && maxlen=12000
  fuzz/run-target.sh "build/fuzz/fuzz/targets/fuzz_$t" "$t" "$seconds" "$work" "$maxlen" || status=1
done
exit $status
