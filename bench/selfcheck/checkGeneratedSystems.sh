#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Checks the generated benchmark machines: the library finds the expected
# items on each simulated system and every attribute of every item answers
# as documented; lspci reads the generated sysfs tree with the expected
# number of functions. Exit 77 (skipped) where the simulated driver's private
# tree is refused.
#   checkGeneratedSystems.sh SOURCE_DIR LIST_LOOP
set -euo pipefail
source_dir=$1
list_loop=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gen="python3 $source_dir/scripts/gen-bench-system.py"

for n in 1 8 32; do
  counts=$($gen count "$n")
  items=${counts##*items=}
  $gen system "$n" "$work/chassis-$n.ini"
  bridges=$(grep -c '^\[bridge ' "$work/chassis-$n.ini")
  [ "$counts" != "${counts/bridges=$bridges /}" ] || {
    echo "chassis-$n: the file has $bridges bridges, the generator says $counts"; exit 1; }
  set +e
  "$list_loop" "$work/chassis-$n.ini" 3 --read-all --expect-items "$items" >"$work/out" 2>&1
  result=$?
  set -e
  cat "$work/out"
  [ "$result" = 0 ] || exit "$result"
done

if command -v lspci >/dev/null; then
  $gen sysfs 8 "$work/sysfs"
  functions=$($gen count 8 | sed 's/.*functions=\([0-9]*\).*/\1/')
  seen=$(lspci -O sysfs.path="$work/sysfs/bus/pci" | wc -l)
  [ "$seen" = "$functions" ] || { echo "lspci sees $seen functions, not $functions"; exit 1; }
  # A bridge below a card port reports the bus range of what it holds.
  lspci -O sysfs.path="$work/sysfs/bus/pci" -t | grep -q -- '-\[03-08\]' ||
    { echo "lspci -t does not show the first chassis' bus range 03-08"; exit 1; }
  # A recording of the tree reads the same as the tree.
  python3 "$source_dir/scripts/record-sysfs-pci.py" "$work/sysfs" "$work/recorded" >/dev/null
  diff <(lspci -O sysfs.path="$work/sysfs/bus/pci" -tnn) \
       <(lspci -O sysfs.path="$work/recorded/bus/pci" -tnn)
fi
# Too large a machine is refused rather than given wrapped bus numbers.
if $gen system 64 "$work/too-large.ini" >/dev/null 2>&1; then
  echo "a 64-chassis simulated system was accepted"; exit 1
fi
echo "generated systems: ok"
