#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The lab scripts' answer to a machine that refuses the simulated driver's
# namespace (simulated with QVSIM_REFUSE_NAMESPACE=1): a failure that says
# why and names the settings that allow it, never a silent skip; and where
# the namespace is allowed, the lab's commands run and the demo's output,
# the driver's write log included, fits 80 columns.
# Arguments: SOURCE_DIR BUILD_DIR
set -euo pipefail
cd "$1"
# shellcheck source=../../scripts/simulated-lab.sh
. scripts/simulated-lab.sh
lab_build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lab_enter "$work"
fail() { echo "lab refusal: $*"; exit 1; }

rc=0
out=$(QVSIM_REFUSE_NAMESPACE=1 lab_check_namespace 2>&1) || rc=$?
[ "$rc" -ne 0 ] || fail "a refused namespace was taken as allowed"
echo "$out" | grep -q "kernel.unprivileged_userns_clone" || fail "the sysctl is not named: $out"
echo "$out" | grep -q "root" || fail "running as root is not suggested: $out"
echo "$out" | grep -qi "skip" && fail "the explanation speaks of skipping: $out"

if ! lab_check_namespace 2>/dev/null; then
  echo "lab refusal: this machine refuses the namespace itself; the lab's commands were not run"
  exit 77
fi
lab_run qvzel list | grep -q "QV PXIe-6550" || fail "the lab's upstream card is not listed"

# narrow FILE WHAT: no line of FILE is wider than 80 columns.
narrow() { awk 'length($0) > 80 { print; bad = 1 } END { exit bad }' "$1" || fail "$2 is wider than 80 columns"; }
for command in "list" "list --tree" "show serial:01A2B3C4" "idsel MR00:00,00,00,E0" \
               "update serial:01A2B3C4 examples/firmware/demo-fw-0100.img --yes" \
               "update serial:01A2B3C4 examples/firmware/demo-fw-0200.img --yes"; do
  # shellcheck disable=SC2086
  lab_run qvzel $command >"$work/out" 2>&1 || true
  narrow "$work/out" "qvzel $command"
done
lab_show_log "$work/log/card0.writes" >"$work/dump"
narrow "$work/dump" "the write log"
grep -Eq '^  0000  ([0-9a-f]{2} ){15}[0-9a-f]{2}$' "$work/dump" ||
  fail "the written bytes are not shown 16 a line: $(head -n 5 "$work/dump")"
echo "lab refusal: passed"
