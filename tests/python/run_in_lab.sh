#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs pytest on a test folder inside the simulated lab: the PCI bridge tree
# and kernel driver of examples/systems/lab.ini (through qvsim-run) and its
# controller file in a private shared state directory.
# Arguments: QVSIM_RUN BUILD_DIR SOURCE_DIR TEST_DIR [PYTEST_ARGS...]
# Exits with 77 (skipped) when the machine refuses the simulator's namespace.
set -uo pipefail
qvsim=$1 build=$2 src=$3 tests=$4
shift 4
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/state/qvpxi" "$work/log" "$work/tmp"
cp "$src/examples/systems/lab-pxicontrollers.ini" "$work/state/qvpxi/pxicontrollers.ini"
export QVRELOC_SHAREDSTATEDIR=$work/state QVZEL_TOOL=$build/tools/qvzel/qvzel \
  QVZ_SOURCE_DIR=$src QVZ_BUILD_DIR=$build PYTHONPATH=$src/python PYTHONDONTWRITEBYTECODE=1 \
  TMPDIR=$work/tmp QVSIM_RELOAD=$(dirname "$qvsim")/qvsim-reload
status=0
"$qvsim" "$src/examples/systems/lab.ini" --log-dir "$work/log" --lib-dir "$build/companions" \
  --lib-dir "$build" -- "$python" -m pytest -p no:cacheprovider -q "$tests" "$@" || status=$?
if [ "$status" -eq 77 ]; then
  echo "SKIP: the simulated driver needs a private mount namespace, which this machine refuses"
fi
exit "$status"
