#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Writes the seeds that cannot be readable text into a fuzzing corpus
# directory: make-seeds.sh TARGET DIRECTORY. Targets without binary seeds
# get nothing.
set -euo pipefail
target=$1
dir=$2
mkdir -p "$dir"
case "$target" in
  driver_properties)
    # serialNumber @@ interfacePath @@ pciBusNumber @@ pciVendorID, as the
    # driver writes them: text plus NUL, path, 4-byte host-order integers.
    printf 'ZEL00042\0@@/dev/qvzel0@@\x05\0\0\0@@\x93\x10\0\0' >"$dir/gen-typical"
    printf 'ZEL\0junk after NUL@@/dev/qvzel1@@\x05\0@@\x93\x10\0\0\0' >"$dir/gen-short-and-long"
    printf '\0@@@@\xff\xff\xff\xff@@' >"$dir/gen-empty-serial"
    ;;
esac
