#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The main job: builds the library, its companions and the qvzel tool, then
# runs qvzel against the bundled simulated lab (scripts/simulated-lab.sh). The
# simulated kernel driver runs in a private mount namespace (root, or a user
# namespace where the machine allows one); where the machine refuses it, the
# demo runs only the offline image checks, says why, and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/simulated-lab.sh
. scripts/simulated-lab.sh
echo "Building (the first time takes a few minutes)..."
lab_make

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
lab_enter "$work"
lab_ok=1
refusal=$(lab_check_namespace 2>&1) || lab_ok=0

# qvzel ARGS...: shows and runs one command, in the lab when LAB is set; a
# failing command is shown with its exit status and the demo goes on.
qvzel() {
  echo
  echo "\$ qvzel $*"
  local rc=0
  if [ -n "${LAB:-}" ]; then lab_run qvzel "$@" || rc=$?; else command qvzel "$@" || rc=$?; fi
  [ "$rc" -eq 0 ] || echo "(exit status $rc)"
  return 0
}

# in_lab COMMAND [ARGS...]: shows and runs any command in the lab.
in_lab() {
  echo
  echo "\$ $*"
  local rc=0
  lab_run "$@" || rc=$?
  [ "$rc" -eq 0 ] || echo "(exit status $rc)"
  return 0
}

if [ "$lab_ok" = 1 ]; then
  echo "== The lab: every link device the library finds =="
  LAB=1 qvzel list
  LAB=1 qvzel list --tree
  LAB=1 qvzel show serial:01A2B3C4
  LAB=1 qvzel idsel MR00:00,00,00,E0
  echo
fi

echo "== Firmware images, checked offline =="
qvzel check-image examples/firmware/demo-fw-0100.img
qvzel check-image examples/firmware/demo-fw-0200.img

if [ "$lab_ok" = 0 ]; then
  echo
  echo "== The lab could not be started =="
  echo "$refusal"
  echo "Listing the lab and updating its firmware need it; only the offline checks above ran."
  exit 1
fi

echo
echo "== Updates: the same version is refused, a newer one is written =="
LAB=1 qvzel update serial:01A2B3C4 examples/firmware/demo-fw-0100.img --yes
LAB=1 qvzel update serial:01A2B3C4 examples/firmware/demo-fw-0200.img --yes

echo
echo "== What the simulated driver was asked to write =="
shopt -s nullglob
writes=("$work"/log/*.writes)
if [ ${#writes[@]} -eq 0 ]; then
  echo "(nothing)"
else
  for f in "${writes[@]}"; do
    echo "--- $(basename "$f")"
    lab_show_log "$f"
  done
fi

echo
echo "== The card's flash: the boot header at 0x20000 names the new version =="
od -A x -t x1z -j $((0x20000)) -N 8 "$work/flash/card0.flash" | head -n 1

echo
echo "== After a reload the card runs it =="
in_lab qvsim-reload
LAB=1 qvzel show serial:01A2B3C4
