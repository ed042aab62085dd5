#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Installs the Debian packages a task needs, only those that are missing, and
# says which it installs; when nothing is missing it says nothing (the lab
# scripts call it before every run). Safe to run any number of times. The
# README's test command runs it before scripts/test.sh, which installs
# nothing itself.
#
#   setup.sh demo   what the demo and scripts/lab.sh need: the build tools and
#                   the libraries the library, the tool and the simulated
#                   companions are built with
#   setup.sh test   the same, and what only the tests need: the test and
#                   benchmark libraries, libb64 (the payload decoder's
#                   reference), clang with its sanitizer and fuzzing
#                   runtimes, valgrind, the Debian packaging tools, and
#                   QEMU with the Debian kernel, its headers and busybox for
#                   the kernel stage (scripts/kernel-lab.sh)
#
# Without an argument it installs what the tests need. As root it installs at
# once, otherwise through sudo; with neither it prints the apt-get command to
# run and fails.
set -euo pipefail
demo_packages=(cmake ninja-build g++ pkg-config libboost-dev)
test_packages=(
  make clang libgtest-dev libgmock-dev libbenchmark-dev libb64-dev
  binutils util-linux python3  # python3: JSON checks of the tool tests
  libclang-rt-dev valgrind  # libFuzzer runtime, memcheck (reliability stages)
  pciutils strace  # lspci and system call counts beside the sysfs bridge library (benchmarks)
  python3-pytest python3-setuptools python3-wheel python3-pip python3-venv  # the Python package, its tests
  prometheus ansible-core  # promtool for the metrics test; the Ansible modules' test
  python3-yaml systemd  # the metrics service's test: its rules, systemd-analyze on its unit
  dpkg-dev debhelper fakeroot lintian  # the Debian packages and their checks
  dkms dh-dkms  # the driver's DKMS package, its module built against the kernel headers
  dh-python pybuild-plugin-pyproject python3-all  # the python3-qvzelif package
  # The kernel stage: the driver and the lab built against this machine's
  # Debian kernel and run in a virtual machine that boots it.
  qemu-system-x86 linux-image-amd64 linux-headers-amd64 busybox-static cpio kmod
)
case ${1:-test} in
  demo) packages=("${demo_packages[@]}") ;;
  test) packages=("${demo_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -gt 0 ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: install them as root, then run this again:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
