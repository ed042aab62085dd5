#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The tool without hardware: help, version, usage errors and check-image.
# Arguments: QVZEL CHECK_JSON
set -uo pipefail
QVZEL=$1 CHECK_JSON=$2
# shellcheck source=testlib.sh
. "$(dirname "$0")/testlib.sh"

# diagnose on this machine: whatever is missing is said, and it still exits 0.
run 0 diagnose
contains out "PCI bridge library (libqvpcibrd.so.1)"
awk 'length($0) > 80 { bad = 1 } END { exit bad }' "$work/out" || fail "diagnose is wider than 80 columns"
if [ ! -e /proc/driver/qv ]; then
  contains out "no kernel driver for the link hardware is loaded"
fi
run 0 diagnose --json
valid_json
if [ "$(python3 "$CHECK_JSON" get "$work/out" bridgeLibrary.loaded)" = false ]; then
  run 0 diagnose
  contains out "Install the package libqvpcibrd1-sysfs"
  contains out "not searched: the PCI bridge library is not usable"
fi

# The JSON layouts this test checks are the ones docs/tool.md documents.
python3 "$CHECK_JSON" documented "$(dirname "$0")/../../docs/tool.md" || fail "docs/tool.md misses JSON keys"

# Help and version.
run 0 --version
contains out "qvzel 1."
run 0 --help
contains out "Usage: qvzel COMMAND"
for command in list show idsel check-image update; do
  run 0 "$command" --help
  contains out "Usage: qvzel $command"
  run 0 help "$command"
  contains out "Usage: qvzel $command"
done

# Usage errors exit with 2 and point to --help.
for args in "" "frobnicate" "list extra" "list --force" "show" "show 1 2" "update 0" \
            "check-image" "check-image a b" "list --bogus" "update 0 fw.img --json"; do
  # shellcheck disable=SC2086
  run 2 $args
  contains err "Try 'qvzel --help'"
done

# Lost output is a failure: a full device or a closed stdout exits with 1.
for target in full closed; do
  status=0
  if [ "$target" = full ]; then
    "$QVZEL" --help >/dev/full 2>"$work/err" || status=$?
  else
    "$QVZEL" --help >&- 2>"$work/err" || status=$?
  fi
  [ "$status" -eq 1 ] || fail "--help with a $target stdout exited with $status, expected 1"
  contains err "qvzel: cannot write to standard output"
done

# Control characters of an argument reach the terminal escaped.
run 2 "$(printf 'list\033[2J')"
contains err 'unknown command '"'"'list\x1B[2J'"'"
lacks err "$(printf '\033')"

# A valid image of two sections.
{ section SSTFlashFWUpdate 103 741236882; section ISSIFlashFWUpdate 0x104 741236882; } >"$work/good.img"
run 0 check-image "$work/good.img"
contains out "Verdict: the image is valid."
contains out "Section 2"
contains out '"ISSIFlashFWUpdate" (flash ID 0x9D17, ISSI)'
contains out "declared 741236882, computed 741236882"
run 0 check-image "$work/good.img" --json
valid_json
json_is valid true
json_is sections.0.flashType SST
json_is sections.1.flashId 40215
json_is sections.1.version 260
json_is sections.0.computedCrc 741236882
json_is sections.0.subsystemId 23089

# Bad checksum, wrong byte count, hexadecimal checksum: exit 1 with the reason.
section SSTFlashFWUpdate 103 741236883 >"$work/crc.img"
run 1 check-image "$work/crc.img"
contains out "Verdict: the image is NOT valid: section 1: the checksum of the decoded bytes is 741236882"
run 1 check-image "$work/crc.img" --json
valid_json
json_is valid false
json_is sections.0.valid false
section ISSIFlashFWUpdate 103 741236882 4 >"$work/count.img"
run 1 check-image "$work/count.img"
contains out "decodes to 3 bytes, but the header declares 4"
section SSTFlashFWUpdate 103 0x2C2E6092 >"$work/hexcrc.img"
run 1 check-image "$work/hexcrc.img"
contains out "must be written in decimal"

# An unknown update type in one section makes the whole image invalid.
{ section SSTFlashFWUpdate 103 741236882; section NORFlashFWUpdate 103 741236882; } >"$work/type.img"
run 1 check-image "$work/type.img" --json
valid_json
json_is sections.0.valid true
json_is sections.1.valid false
json_is sections.1.flashId null

# No sections, an empty file, a missing file.
printf 'not an image\r\n' >"$work/text.img"
run 1 check-image "$work/text.img"
contains out "no firmware section"
: >"$work/empty.img"
run 1 check-image "$work/empty.img"
contains out "the file is empty"
run 1 check-image "$work/missing.img"
contains err "cannot open the image file"
run 1 check-image "$work/missing.img" --json
valid_json
json_is size null

# Padding alone decodes to nothing: the library refuses it, so does the tool.
section SSTFlashFWUpdate 103 0 0 5A31 '====' >"$work/padding.img"
run 1 check-image "$work/padding.img"
contains out "the payload decodes to no byte; an empty firmware is never written"

# Numbers outside unsigned 32 bits make the section invalid, as in the library.
section SSTFlashFWUpdate 100000103 741236882 >"$work/wide.img"
run 1 check-image "$work/wide.img"
contains out "the Version:: value '100000103' is above 0xFFFFFFFF; header numbers are unsigned 32-bit"
contains out "Version:          0x103 (out of range)"
section SSTFlashFWUpdate -1 741236882 >"$work/negative.img"
run 1 check-image "$work/negative.img" --json
json_is valid false
json_is reason "section 1: the Version:: value '-1' is negative; header numbers are unsigned 32-bit, so an update refuses the section"

# Header lines ending in LF alone: a short quote and the cause, never the image.
{ section SSTFlashFWUpdate 103 741236882 | tr -d '\r'; head -c 200000 /dev/zero | tr '\0' 'A'; } >"$work/lf.img"
run 1 check-image "$work/lf.img"
contains out "line ends in a line feed alone, but header lines end in CR LF"
[ "$(wc -c <"$work/out")" -lt 20000 ] || fail "check-image quoted too much of an LF-only image"

# Files that are not regular image files: a clear message and exit 1.
run 1 check-image /proc/self/mem
contains err "cannot read the image file '/proc/self/mem'"
run 1 check-image "$work"
contains err "it is a directory"
# /dev/zero under a memory limit (skipped where the tool cannot start under
# one: a sanitizer build reserves its shadow memory first).
if (ulimit -v 400000; "$QVZEL" --version >/dev/null 2>&1); then
  status=0
  (ulimit -v 400000; "$QVZEL" check-image /dev/zero >"$work/out" 2>"$work/err") || status=$?
  [ "$status" = 1 ] || fail "check-image /dev/zero exited with $status, expected 1"
  contains err "image file '/dev/zero'"
fi

# update validates the image before it touches any device.
run 1 update 0 "$work/crc.img" --yes
contains err "the image is not valid: section 1: the checksum"
contains err "qvzel check-image"

finish
