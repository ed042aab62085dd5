#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs your own commands in the demo's simulated lab, e.g.
#
#   scripts/lab.sh qvzel list --tree
#   scripts/lab.sh qvzel show 2
#   scripts/lab.sh qvzel update serial:01A2B3C4 examples/firmware/demo-fw-0200.img --yes
#   scripts/lab.sh qvsim-reload      (the card then runs the version it was given)
#
# Builds what is needed first (as scripts/demo.sh does). Commands run in the
# directory you call it from. The built qvzel comes
# first on PATH; LD_LIBRARY_PATH names the simulated companions, so a program
# of your own linked against libqvzelif sees the lab too. What the simulated
# driver was asked to write is logged in build/demo/lab/log/. The card's
# flash is kept in build/demo/lab/flash/ from one command to the next, as a
# real card keeps it; remove that folder for the factory flash.
#
# With --kernel the commands run instead as root in the kernel lab: a virtual
# machine booting this machine's Debian kernel with the real driver and the
# lab module (scripts/kernel-lab.sh, docs/kernel-vm.md), e.g.
#
#   scripts/lab.sh --kernel qvzel list --tree
#   scripts/lab.sh --kernel sh -c 'qvlab cable port1 off; qvzel list'
#
# Options of scripts/kernel-lab.sh (--system FILE, --copy PATH, ...) may come
# after --kernel; its exit status is the command's.
set -euo pipefail
if [ $# -eq 0 ] || { [ "$1" = --kernel ] && [ $# -eq 1 ]; }; then
  echo "usage: $0 [--kernel] COMMAND [ARGS...]   (for example: $0 qvzel list)" >&2
  exit 2
fi
if [ "$1" = --kernel ]; then
  shift
  exec "$(dirname "$0")/kernel-lab.sh" "$@"
fi
here=$PWD
cd "$(dirname "$0")/.."
# shellcheck source=scripts/simulated-lab.sh
. scripts/simulated-lab.sh
lab_make
lab_enter "$lab_build/lab"
lab_check_namespace || exit 1
cd "$here"
lab_run "$@"
