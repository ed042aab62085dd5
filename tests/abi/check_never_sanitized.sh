#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Checks that a library which is preloaded into arbitrary programs (the
# simulated driver) carries no sanitizer in any build: it neither needs a
# sanitizer runtime nor refers to one (qvz_no_sanitize, cmake/qvzSanitize.cmake).
# Arguments: LIBRARY
set -euo pipefail
lib=$1
# Listings are taken whole first, so that grep -q cannot cut a pipe short.
needed=$(readelf -d "$lib")
symbols=$(nm -D "$lib")
if grep -Eq 'NEEDED.*\[lib(a|t|ub|l)san\.' <<<"$needed"; then
  echo "$lib needs a sanitizer runtime:"; grep -E 'NEEDED.*san\.' <<<"$needed"; exit 1
fi
if grep -Eq ' __(a|t|ub|l)san_| __sanitizer_' <<<"$symbols"; then
  echo "$lib refers to a sanitizer runtime:"; grep -E ' __(a|t|ub|l)san_| __sanitizer_' <<<"$symbols" | head; exit 1
fi
echo "$lib is built without sanitizers"
