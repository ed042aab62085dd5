#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only
# those that are missing. Safe to run any number of times.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang make pkg-config
  libboost-dev libb64-dev libgtest-dev libgmock-dev libbenchmark-dev
  binutils util-linux python3  # python3: JSON checks of the tool tests
  libclang-rt-dev valgrind  # libFuzzer runtime, memcheck (reliability stages)
<<<<<<< HEAD
  pciutils strace  # lspci and system call counts beside the sysfs bridge library (benchmarks)
=======
  python3-pytest python3-setuptools python3-wheel python3-pip python3-venv  # the Python package, its tests
  prometheus ansible-core  # promtool for the metrics test; the Ansible modules' test
>>>>>>> main
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
