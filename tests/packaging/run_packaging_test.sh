#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds the Debian packages from a copy of the source tree, lints them,
# extracts them into a temporary root and uses them from there: the installed
# qvzel lists this machine's own /sys, the documents and the metrics service
# are where their users look, dkms builds the driver from its package, the
# autopkgtest runs, and the README's C example builds against the
# development files.
# Arguments: SOURCE_DIR WORK_DIR (emptied first, removed at the end)
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2

if ! command -v dpkg-buildpackage >/dev/null; then
  echo "packaging test skipped: dpkg-buildpackage is missing (scripts/setup.sh test installs it)"
  exit 77
fi
fail() { echo "packaging check: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/libqvzelif"
trap 'rm -rf "$work"' EXIT
tree=$work/libqvzelif
# The files of the checkout as they are now, without build trees.
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$src" && git ls-files -z -co --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$tree"
else
  (cd "$src" && tar --exclude=./build -cf - .) | tar -xf - -C "$tree"
fi

# A compiler cache of the user's, if there is one: debhelper moves HOME, so
# the cache directory is named here. The work directory keeps its path from
# run to run, so that the build flags that name it stay the same.
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)} CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
export DEB_BUILD_OPTIONS="parallel=$(nproc) noddebs"
if ! (cd "$tree" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1); then
  tail -n 40 "$work/build.log"
  fail "dpkg-buildpackage failed (its log ends above; missing build dependencies: scripts/setup.sh test)"
fi
echo "packaging check: packages built in ${SECONDS} s"

changes=$(ls "$work"/*.changes)
if command -v lintian >/dev/null; then
  # lintian warns when run by root; that line is not about the packages.
  lintian --fail-on error,warning "$changes" 2> >(grep -v 'root privileges' >&2) || fail "lintian reports the packages above"
  echo "packaging check: lintian reports no error and no warning (${SECONDS} s in all)"
else
  echo "packaging check: lintian is missing, the packages were not linted"
fi

root=$work/root
for package in libqvzelif1 libqvzelif-dev qvzel qvzel-metrics libqvpcibrd1-sysfs python3-qvzelif \
  qvzelif-dkms; do
  deb=$(ls "$work/${package}_"*.deb 2>/dev/null) || fail "package $package was not built"
  dpkg-deb -x "$deb" "$root"
done
for deb in "$work"/*.deb; do
  if dpkg-deb -c "$deb" | grep -E 'qvrelocations|qvdriversim|qvsim'; then
    fail "$(basename "$deb") holds a simulated companion"
  fi
done

# The documentation a user needs offline: both man pages, and every file
# they and the metrics unit name is in the packages; none points into a
# source tree.
for page in man1/qvzel.1 man5/pxicontrollers.ini.5; do
  [ -f "$root/usr/share/man/$page.gz" ] || fail "man page $page is not in the packages"
  if zcat "$root/usr/share/man/$page.gz" | grep -n -i 'source tree\|docs/'; then
    fail "man page $page points into the source tree"
  fi
done
zcat "$root/usr/share/man/man1/qvzel.1.gz" | grep -q '/var/lib/qvpxi/pxicontrollers.ini' ||
  fail "qvzel(1) does not name the controller file"
named=$( (zcat "$root"/usr/share/man/man*/*.gz; cat "$root"/lib/systemd/system/qvzel-metrics.*) |
  grep -o '/usr/share/[A-Za-z0-9_./-]*[A-Za-z0-9_]' | sort -u)
[ -n "$named" ] || fail "the man pages name no installed document"
for file in $named; do
  [ -e "$root$file" ] || fail "$file, named in a man page or the metrics unit, is not in the packages"
done
echo "packaging check: the man pages and every document they name are in the packages"

# The metrics service: its units where systemd looks, the timer enabled on
# installation (the service is started by it only), its command in the packages.
for unit in qvzel-metrics.service qvzel-metrics.timer; do
  [ -f "$root/lib/systemd/system/$unit" ] || fail "$unit is not in qvzel-metrics"
done
control=$work/metrics-control
dpkg-deb -e "$(ls "$work"/qvzel-metrics_*.deb)" "$control"
grep -q "deb-systemd-helper enable 'qvzel-metrics.timer'" "$control/postinst" ||
  fail "qvzel-metrics does not enable its timer on installation"
if grep "enable 'qvzel-metrics.service'" "$control/postinst"; then
  fail "qvzel-metrics enables the service itself, not only its timer"
fi
command=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$root/lib/systemd/system/qvzel-metrics.service")
[ -x "$root$command" ] || fail "the metrics unit runs $command, which no package holds"
if command -v promtool >/dev/null; then
  promtool check rules "$root/usr/share/qvzel-metrics/qvzel-alerts.yml" >/dev/null ||
    fail "promtool refuses the packaged alerting rules"
fi
/usr/bin/python3 -m json.tool "$root/usr/share/qvzel-metrics/qvzel-dashboard.json" >/dev/null ||
  fail "the packaged dashboard is not JSON"
echo "packaging check: qvzel-metrics holds its units, enables its timer, and its rules and dashboard load"

# The driver's DKMS package: the driver's whole folder and its ABI header
# under /usr/src in the source tree's layout, dkms.conf with the package's
# version, the udev rules of the folder where udev reads them; the library
# suggests it.
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
dkmssrc=$root/usr/src/qvzelif-$version
grep -qx "PACKAGE_VERSION=\"$version\"" "$dkmssrc/dkms.conf" 2>/dev/null ||
  fail "qvzelif-dkms has no dkms.conf of version $version in /usr/src/qvzelif-$version"
for file in $(cd "$tree" && ls kernel/qvzel/* include/qvzel_driver.h); do
  cmp -s "$tree/$file" "$dkmssrc/$file" || fail "qvzelif-dkms does not hold $file as it is"
done
for rule in "$tree"/kernel/qvzel/*.rules; do
  [ ! -e "$rule" ] || cmp -s "$rule" "$root/usr/lib/udev/rules.d/${rule##*/}" ||
    fail "qvzelif-dkms does not install ${rule##*/} in /usr/lib/udev/rules.d"
done
# Every group the rules name is one the package creates.
dkmscontrol=$work/dkms-control
dpkg-deb -e "$(ls "$work"/qvzelif-dkms_*.deb)" "$dkmscontrol"
for group in $(cat "$root"/usr/lib/udev/rules.d/*.rules 2>/dev/null | sed -n 's/.*GROUP="\([^"]*\)".*/\1/p' | sort -u); do
  grep -q "addgroup --system $group\$" "$dkmscontrol/postinst" ||
    fail "the udev rules name the group $group, which qvzelif-dkms does not create"
done
dpkg-deb -f "$(ls "$work"/libqvzelif1_*.deb)" Suggests | grep -qw qvzelif-dkms ||
  fail "libqvzelif1 does not suggest qvzelif-dkms"
dpkg-deb -f "$(ls "$work"/qvzelif-dkms_*.deb)" Depends | grep -qw dkms ||
  fail "qvzelif-dkms does not depend on dkms"
echo "packaging check: qvzelif-dkms holds the driver's sources, dkms.conf and udev rules"

# dkms builds the module from the packaged sources against this machine's
# kernel headers, in a DKMS tree of its own: a private mount namespace puts a
# framework.conf of the test's over /etc/dkms. The module is built only,
# never loaded or installed.
kernel=$(uname -r)
if [ ! -d "/lib/modules/$kernel/build" ]; then
  headers=$(ls -d /lib/modules/*/build 2>/dev/null | head -n 1)
  kernel=$(basename "$(dirname "${headers:-/none/none}")")
fi
if ! command -v dkms >/dev/null || [ ! -d "/lib/modules/$kernel/build" ]; then
  echo "packaging check: dkms or the kernel headers are missing, the module was not built"
elif ! unshare --mount true 2>/dev/null; then
  echo "packaging check: no private mount namespace for a DKMS tree of its own, the module was not built"
else
  mkdir -p "$work/dkms/etc" "$work/dkms/tree"
  printf '%s\n' "source_tree=\"$root/usr/src\"" "dkms_tree=\"$work/dkms/tree\"" \
    "install_tree=\"$work/dkms/modules\"" 'sign_file="/nonexistent"' >"$work/dkms/etc/framework.conf"
  # shellcheck disable=SC2016
  unshare --mount sh -c 'mount --bind "$1" /etc/dkms && dkms add -m qvzelif -v "$2" &&
    dkms build -m qvzelif -v "$2" -k "$3"' dkms "$work/dkms/etc" "$version" "$kernel" \
    >"$work/dkms.log" 2>&1 || { cat "$work/dkms.log"; fail "dkms build failed for kernel $kernel"; }
  module=$(ls "$work/dkms/tree/qvzelif/$version/$kernel"/*/module/qvzel.ko 2>/dev/null) ||
    fail "dkms built no qvzel.ko (its log: $(cat "$work/dkms.log"))"
  [ "$(/sbin/modinfo -F vermagic "$module" | cut -d' ' -f1)" = "$kernel" ] ||
    fail "qvzel.ko was not built for kernel $kernel"
  [ ! -e "$work/dkms/modules" ] || fail "dkms build installed the module"
  echo "packaging check: dkms builds qvzel.ko for kernel $kernel from qvzelif-dkms"
fi

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=$root/usr/lib/$multiarch
export LD_LIBRARY_PATH=$libdir PATH=$root/usr/bin:$PATH
unset QVPCIBRD_SYSTEM QVPCIBRD_SYSFS_ROOT
[ "$(command -v qvzel)" = "$root/usr/bin/qvzel" ] || fail "qvzel is not in the package"

# This machine has no link hardware: the listing succeeds and says so. The
# installed bridge library has no simulated backend, so a description file
# named in the environment changes nothing.
out=$(qvzel list) || fail "qvzel list failed: $out"
echo "$out" | grep -qi "no link device found" || fail "qvzel list printed: $out"
out=$(QVPCIBRD_SYSTEM=$src/examples/systems/lab.ini qvzel list) ||
  fail "qvzel list with QVPCIBRD_SYSTEM failed: $out"
echo "$out" | grep -qi "no link device found" ||
  fail "the installed bridge library answered from QVPCIBRD_SYSTEM: $out"
echo "packaging check: the installed qvzel lists this machine"

(cd "$tree" && sh debian/tests/smoke >/dev/null) || fail "the autopkgtest failed"
echo "packaging check: the autopkgtest passes"

# The Python package from its package: it loads the packaged library, lists
# this machine and checks an image through the packaged tool.
PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 - "$root" \
  "$src/examples/firmware/demo-fw-0200.img" <<'PY' || fail "python3-qvzelif does not work"
import sys
import qvzelif
assert qvzelif.__file__.startswith(sys.argv[1]), qvzelif.__file__
with qvzelif.open_list() as devices:
    assert len(devices) == 0
assert qvzelif.check_image(sys.argv[2]).valid
PY
echo "packaging check: python3-qvzelif lists this machine and checks an image"

# The README's C example, built through pkg-config from the extracted root.
awk '/^```c$/ {on = 1; next} /^```$/ {on = 0} on' "$src/README.md" >"$work/example.c"
[ -s "$work/example.c" ] || fail "no C example in README.md"
flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --cflags --libs qvzelif) ||
  fail "pkg-config does not find qvzelif.pc in the package"
# shellcheck disable=SC2086
cc -std=c99 -Wall -Wextra -Werror "$work/example.c" $flags -o "$work/example" ||
  fail "the README's C example does not build against the package (flags: $flags)"
"$work/example" || fail "the README's C example failed"
echo "packaging check: the README's C example builds and runs"
echo "packaging check: passed in ${SECONDS} s"
