#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Installs the build into a temporary prefix, checks the installed files, and
# builds and runs two small consumers there: one through pkg-config, one
# through find_package(qvzelif).
# Arguments: BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER GENERATOR [EXTRA_FLAGS]
set -euo pipefail
build=$1 src=$2 cc=$3 cxx=$4 generator=$5 flags=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && ls -d lib* | head -n1)

fail() { echo "install check: $*"; exit 1; }
[ -f "$prefix/$libdir/libqvzelif.so.1.0.0" ] || fail "library libqvzelif.so.1.0.0 missing"
[ "$(readlink "$prefix/$libdir/libqvzelif.so.1")" = libqvzelif.so.1.0.0 ] || fail "SONAME link missing"
[ "$(readlink "$prefix/$libdir/libqvzelif.so")" = libqvzelif.so.1 ] || fail "development link missing"
for f in include/qvzelif.h include/qvzelif_status.h include/qvpcibrd.h "$libdir/pkgconfig/qvzelif.pc" \
         "$libdir/cmake/qvzelif/qvzelifConfig.cmake" "$libdir/cmake/qvzelif/qvzelifConfigVersion.cmake" \
         bin/qvzel share/man/man1/qvzel.1 share/man/man5/pxicontrollers.ini.5; do
  [ -e "$prefix/$f" ] || fail "$f missing"
done
[ -x "$prefix/bin/qvzel" ] || fail "bin/qvzel is not executable"

# The installed tool finds the installed library on its own.
"$prefix/bin/qvzel" --version | grep -q '^qvzel [0-9]' || fail "installed qvzel does not run"
used=$(ldd "$prefix/bin/qvzel" | awk '$1 == "libqvzelif.so.1" {print $3}')
[ "$(readlink -f "$used")" = "$(readlink -f "$prefix/$libdir/libqvzelif.so.1")" ] ||
  fail "installed qvzel uses '$used', not the installed library"

# The PCI bridge library's interface is plain C for those who implement it.
# shellcheck disable=SC2086
echo '#include <qvpcibrd.h>' |
  "$cc" -std=c99 -Wall -Wextra -Werror -pedantic $flags -I"$prefix/include" -fsyntax-only -x c - ||
  fail "qvpcibrd.h is not valid C"

# pkg-config consumer, written in C.
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[ "$(pkg-config --variable=prefix qvzelif)" = "$prefix" ] || fail "qvzelif.pc names another prefix"
# shellcheck disable=SC2046,SC2086
"$cc" -std=c99 -Wall -Wextra -Werror $flags "$src/tests/install/consumer.c" \
  $(pkg-config --cflags --libs qvzelif) -Wl,-rpath,"$prefix/$libdir" -o "$work/c_consumer"
"$work/c_consumer"

# find_package consumer, written in C++.
cmake -S "$src/tests/install/cmake_consumer" -B "$work/cmake_build" -G "$generator" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror $flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake_build" >/dev/null
"$work/cmake_build/consumer"
echo "install check: passed"
