#!/usr/bin/env bash
# The main job: builds the library, its companions and the qvzel tool, then
# runs qvzel against the bundled simulated lab (examples/systems/lab.ini): a
# four-port upstream card cabled to three chassis, one of them known only
# through the controller file. The simulated kernel driver runs in a private
# mount namespace (root, or a user namespace where the machine allows one).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/normal
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target qvzelif qvzel qvpcibrd qvrelocations qvdriversim qvsim-run

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
# The controller file lives in the shared state directory, which the
# relocation companion moves into the demo's own folder.
mkdir -p "$work/state/qvpxi" "$work/log"
cp examples/systems/lab-pxicontrollers.ini "$work/state/qvpxi/pxicontrollers.ini"
export QVRELOC_SHAREDSTATEDIR="$work/state"
export LD_LIBRARY_PATH="$PWD/$build/companions:$PWD/$build${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

qvzel() {
  echo
  echo "\$ qvzel $*"
  local rc=0
  "$build/companions/qvdriversim/qvsim-run" examples/systems/lab.ini --log-dir "$work/log" -- \
    "$build/tools/qvzel/qvzel" "$@" || rc=$?
  [ "$rc" -eq 0 ] || echo "(exit status $rc)"
  return 0
}

echo "== The lab: every link device the library finds =="
qvzel list
qvzel list --tree
qvzel show serial:01A2B3C4
qvzel idsel MR00:00,00,00,E0

echo
echo "== Firmware images, checked offline =="
qvzel check-image examples/firmware/demo-fw-0100.img
qvzel check-image examples/firmware/demo-fw-0200.img

echo
echo "== Updates: the same version is refused, a newer one is written =="
qvzel update serial:01A2B3C4 examples/firmware/demo-fw-0100.img --yes
qvzel update serial:01A2B3C4 examples/firmware/demo-fw-0200.img --yes

echo
echo "== What the simulated driver was asked to write =="
shopt -s nullglob
writes=("$work"/log/*.writes)
if [ ${#writes[@]} -eq 0 ]; then
  echo "(nothing)"
else
  for f in "${writes[@]}"; do
    echo "--- $(basename "$f")"
    head -c 2000 "$f"
    echo
  done
fi
