#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The Python package installs offline with pip from a copy of python/ (so the
# source tree stays clean), and the installed copy is complete: the modules,
# the py.typed marker and the header tables.
# Arguments: SOURCE_DIR
set -euo pipefail
src=$1
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/python" "$work/source"
if ! "$python" -m pip install --no-index --no-build-isolation --target "$work/site" \
  "$work/source" >"$work/pip.log" 2>&1; then
  cat "$work/pip.log"
  exit 1
fi
[ -f "$work/site/qvzelif/py.typed" ] || { echo "py.typed is not installed"; exit 1; }
PYTHONPATH=$work/site "$python" - "$work/site" <<'PY'
import sys
import qvzelif
assert qvzelif.__file__.startswith(sys.argv[1]), qvzelif.__file__
assert qvzelif.status_name(-52006) == "QVZEL_ERR_NOT_FOUND"
for name in ("open_list", "check_image", "UpstreamCard", "NotFoundError"):
    assert hasattr(qvzelif, name), name
from importlib.metadata import version
assert version("qvzelif") == qvzelif.__version__, version("qvzelif")
print("pip install: the package installs offline and imports")
PY
