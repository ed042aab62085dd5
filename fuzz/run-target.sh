#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs one libFuzzer target for a bounded time:
#   run-target.sh BINARY NAME SECONDS WORKDIR MAXLEN
# First replays the target's regression inputs (fuzz/regressions/NAME), then
# fuzzes for SECONDS seconds on a working corpus in WORKDIR/corpus/NAME that
# starts from the seeds in the repository and grows from run to run. A crash
# is written to WORKDIR/artifacts/NAME/ and fails the run. One summary line
# per run is appended to WORKDIR/runs.log.
set -uo pipefail
bin=$1
name=$2
seconds=$3
work=$4
maxlen=$5
root=$(cd "$(dirname "$0")" && pwd)
corpus=$work/corpus/$name
artifacts=$work/artifacts/$name
log=$work/logs/$name.log
mkdir -p "$corpus" "$artifacts" "$work/logs"
cp -n "$root/corpus/$name"/* "$corpus/" 2>/dev/null
bash "$root/make-seeds.sh" "$name" "$corpus"

regressions=()
for f in "$root/regressions/$name"/*; do
  [ -f "$f" ] && regressions+=("$f")
done
if [ ${#regressions[@]} -gt 0 ]; then
  "$bin" -error_exitcode=1 -timeout_exitcode=1 "${regressions[@]}" >"$log" 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then
    tail -n 40 "$log"
    [ $rc -eq 77 ] && exit 77
    echo "fuzz $name: a regression input fails again"
    exit 1
  fi
fi

dict=()
[ -f "$root/dict/$name.dict" ] && dict=(-dict="$root/dict/$name.dict")
# libFuzzer's own exit code for a finding is 77, which ctest reads as a skip.
"$bin" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
  -error_exitcode=1 -timeout_exitcode=1 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" "$corpus" >"$log" 2>&1
rc=$?
[ $rc -eq 77 ] && { tail -n 5 "$log"; exit 77; }
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
summary="$(date -u +%Y-%m-%dT%H:%MZ) $name: ${execs:-?} executions in ${seconds}s, corpus $(ls "$corpus" | wc -l) inputs"
if [ $rc -ne 0 ]; then
  tail -n 60 "$log"
  echo "$summary, FINDING (exit $rc), see $artifacts" | tee -a "$work/runs.log"
  exit 1
fi
echo "$summary, no finding" | tee -a "$work/runs.log"
