# SPDX-License-Identifier: LGPL-2.1-or-later
# Helpers of the tool's shell tests; sourced, not run.
# Needs QVZEL (the tool) and CHECK_JSON (check_json.py) set by the caller.

failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run EXPECTED_EXIT ARGS...: runs the tool, keeps stdout and stderr in
# $work/out and $work/err, and checks the exit status.
run() {
  local expected=$1; shift
  local status=0
  "$QVZEL" "$@" >"$work/out" 2>"$work/err" </dev/null || status=$?
  if [ "$status" -ne "$expected" ]; then
    fail "qvzel $* exited with $status, expected $expected"
    sed 's/^/  stdout: /' "$work/out" | head -n 20
    sed 's/^/  stderr: /' "$work/err" | head -n 20
  fi
}

# The tool's messages on stderr are wrapped to the width; joined() gives them
# back as one line each (a wrapped line goes on indented on the next).
joined() { awk 'NR > 1 && /^ / { sub(/^ +/, " "); printf "%s", $0; next }
                NR > 1 { print "" } { printf "%s", $0 } END { if (NR) print "" }' "$work/$1"; }

# contains FILE TEXT: the file holds the text (fixed string).
contains() { joined "$1" | grep -qF -- "$2" || fail "$1 of the last run lacks '$2'"; }
lacks() { ! joined "$1" | grep -qF -- "$2" || fail "$1 of the last run has '$2'"; }

# The last run's stdout is a valid document of its documented layout.
valid_json() { python3 "$CHECK_JSON" validate "$work/out" || fail "JSON of the last run is not as documented"; }

# json_is PATH EXPECTED: a value of the last run's JSON document.
json_is() {
  local value
  value=$(python3 "$CHECK_JSON" get "$work/out" "$1") || { fail "no JSON value at $1"; return; }
  [ "$value" = "$2" ] || fail "JSON $1 is '$value', expected '$2'"
}

# section TYPE VERSION CRC [BYTECOUNT] [SUBSYSTEM] [PAYLOAD]: one image section
# on stdout. The default payload YWJj decodes to "abc" (checksum 741236882).
section() {
  local type=$1 version=$2 crc=$3 count=${4:-3} subsystem=${5:-5A31} payload=${6:-YWJj}
  printf 'HeaderVersion::2\r\nUpdateType::"%s"\r\nSubSystemID::%s\r\nPinOutAddr::10\r\n' "$type" "$subsystem"
  printf 'PinOutVer::2\r\nOffset::0\r\nVersion::%s\r\nByteCount::%s\r\nCRC::%s\r\n\r\n%s\r\n' \
    "$version" "$count" "$crc" "$payload"
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}
