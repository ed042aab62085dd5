#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs one command as root in a virtual machine that boots this machine's
# Debian kernel with the project's driver and the lab loaded:
#
#   scripts/kernel-lab.sh [--system FILE] [--copy PATH]... [--timeout S]
#                         [--cpus N] [--no-build] [--] COMMAND [ARG...]
#
# It builds the modules (kernel/) against the installed kernel's headers and
# the project (build/normal), boots the kernel in qemu-system-x86_64 with an
# initramfs holding busybox, the modules, qvzel, qvlab, libqvzelif.so.1 and
# the sysfs PCI bridge library (in /lib, on the loader's path), the helper
# programs and scripts of tests/kernel/ and every PATH given with --copy, each
# at the path it has here. The distribution's own programs and libraries
# (python3, the C and C++ runtimes) come from this machine's /usr, shared
# read-only over 9p. In the machine it loads qvzel.ko and qvlab.ko, loads the
# lab's system file (default examples/systems/kernel/lab.ini; a
# pxicontrollers.ini beside it becomes the machine's controller file), runs COMMAND
# in the directory it was called from, and exits with COMMAND's status.
#
# Exit status: COMMAND's; 124 when the machine did not finish in time (a hang);
# 125 when the kernel panicked or the machine stopped without an answer; 126
# when the kernel logged a warning or a bug although COMMAND succeeded; 2 for
# a usage error. The kernel's console log stays in build/kernel-lab/console.log
# (printed on failure). docs/kernel-vm.md describes the machine.
set -euo pipefail

usage() {
  sed -n '6,7p' "$0" | sed 's/^# *//' >&2
  exit 2
}

system= timeout=300 cpus=2 build=1
copies=()
while [ $# -gt 0 ]; do
  case $1 in
    --system) [ $# -ge 2 ] || usage; system=$(realpath "$2"); shift 2 ;;
    --copy) [ $# -ge 2 ] || usage; copies+=("$(realpath "$2")"); shift 2 ;;
    --timeout) [ $# -ge 2 ] || usage; timeout=$2; shift 2 ;;
    --cpus) [ $# -ge 2 ] || usage; cpus=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage
here=$PWD
cd "$(dirname "$0")/.."
repo=$PWD
# The machine mounts its own /proc, /sys and /dev and this machine's /usr
# over the initramfs: a checkout below them would be hidden there.
case $repo/ in
  /usr/* | /proc/* | /sys/* | /dev/*) echo "kernel-lab: the checkout $repo lies below a directory the machine mounts over; move it elsewhere" >&2; exit 1 ;;
esac
[ -n "$system" ] || system=$repo/examples/systems/kernel/lab.ini

fail() { echo "kernel-lab: $*" >&2; exit 1; }

# The kernel: QVZ_KERNEL_VERSION, or the newest version installed with both
# its image and its headers (the modules must be built for the kernel booted).
if [ -n "${QVZ_KERNEL_VERSION:-}" ]; then
  kver=$QVZ_KERNEL_VERSION
else
  kver=
  for image in /boot/vmlinuz-*; do
    [ -e "$image" ] || continue
    v=${image#/boot/vmlinuz-}
    if [ -d "/lib/modules/$v/build" ]; then kver=$(printf '%s\n%s\n' "$kver" "$v" | sort -V | tail -n 1); fi
  done
  if [ -z "$kver" ]; then
    images=$(cd /boot 2>/dev/null && ls -d vmlinuz-* 2>/dev/null | tr '\n' ' ')
    headers=$(cd /lib/modules 2>/dev/null && ls -d -- */build 2>/dev/null | tr '\n' ' ')
    fail "no kernel with both /boot/vmlinuz-VERSION and /lib/modules/VERSION/build" \
      "(images: ${images:-none}; headers: ${headers:-none});" \
      "scripts/setup.sh test installs linux-image-amd64 and linux-headers-amd64," \
      "or name one with QVZ_KERNEL_VERSION"
  fi
fi
kimage=/boot/vmlinuz-$kver
kbuild=/lib/modules/$kver/build
work=$repo/build/kernel-lab
console=$work/console.log output=$work/output.log

command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is missing (scripts/setup.sh test installs qemu-system-x86)"
[ -r "$kimage" ] || fail "$kimage is missing or unreadable (scripts/setup.sh test installs linux-image-amd64; Debian makes it readable by root only)"
[ -d "$kbuild" ] || fail "$kbuild is missing (scripts/setup.sh test installs linux-headers-amd64)"
[ -d "/lib/modules/$kver/kernel" ] || fail "/lib/modules/$kver/kernel is missing: the machine needs the kernel's own 9p and virtio modules (linux-image-$kver)"
[ -x /bin/busybox ] || fail "/bin/busybox is missing (scripts/setup.sh test installs busybox-static)"
command -v cpio >/dev/null || fail "cpio is missing (scripts/setup.sh test installs it)"
command -v modprobe >/dev/null || fail "modprobe is missing (scripts/setup.sh test installs kmod)"
mkdir -p "$work"

# The kernel without its compressed wrapper: under emulation, decompressing
# the bzImage costs more than the whole boot (about 12 s against 5 s).
# Where the kernel cannot be unpacked, the machine boots the bzImage itself.
vmlinux=$work/vmlinux-$kver
if [ ! -s "$vmlinux" ] || [ "$kimage" -nt "$vmlinux" ]; then
  if python3 scripts/kernel-image.py "$kimage" "$vmlinux.tmp" 2>"$work/unpack.log"; then
    mv "$vmlinux.tmp" "$vmlinux"
  else
    rm -f "$vmlinux.tmp" "$vmlinux"
    echo "kernel-lab: cannot unpack $kimage ($(tail -n 1 "$work/unpack.log")); booting it compressed, which is slower" >&2
    vmlinux=$kimage
  fi
fi

# The modules, built in a copy of kernel/ and include/ so that the source
# tree keeps no build products; the copy keeps its files' times, so make
# rebuilds only what changed.
modsrc=$work/src
if [ "$build" -eq 1 ]; then
  mkdir -p "$modsrc"
  rm -rf "$modsrc/include"
  cp -a include "$modsrc/"
  if [ -d kernel ]; then
    cp -a --update kernel "$modsrc/"
    # Sources removed here disappear from the copy too.
    (cd "$modsrc/kernel" && find . -type f \( -name '*.[ch]' -o -name 'Kbuild' -o -name 'Makefile' \) |
      while read -r f; do [ -e "$repo/kernel/$f" ] || rm -f "$f"; done)
    make -s -C "$modsrc/kernel" KDIR="$kbuild" >"$work/modules.log" 2>&1 ||
      { cat "$work/modules.log" >&2; fail "the modules do not build"; }
  fi
  cmake --preset normal >/dev/null
  cmake --build --preset normal -j "$(nproc)" --target kernel_lab >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log" >&2; fail "the project does not build"; }
fi
manifest=$repo/build/normal/kernel-lab/manifest
[ -r "$manifest" ] || fail "$manifest is missing: build the normal preset first"

# The initramfs.
root=$work/root
rm -rf "$root"
mkdir -p "$root"/{bin,dev,etc,proc,root,run,sys,tmp,usr,var/lib,var/tmp,lib/modules/"$kver",home/lab,qvlab-vm}
cp /bin/busybox "$root/bin/"
# The distribution's libraries come with /usr; the loader names them through
# /lib64 and /lib/x86_64-linux-gnu, as on a merged-/usr system.
ln -s usr/lib64 "$root/lib64"
ln -s /usr/lib/x86_64-linux-gnu "$root/lib/x86_64-linux-gnu"
printf 'root:x:0:0:root:/root:/bin/sh\nlab:x:1000:1000:lab:/home/lab:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\nlab:x:1000:\n' >"$root/etc/group"
chown 1000:1000 "$root/home/lab"

# The kernel's own modules for the 9p share, in load order.
: >"$root/qvlab-vm/modules"
while read -r verb path; do
  [ "$verb" = insmod ] || continue
  grep -qxF "$path" "$root/qvlab-vm/modules" && continue
  mkdir -p "$root$(dirname "$path")"
  cp "$path" "$root$path"
  echo "$path" >>"$root/qvlab-vm/modules"
done < <(modprobe -S "$kver" --show-depends -a virtio_pci 9pnet_virtio 9p)
for m in qvzel qvlab; do
  ko=$(find "$modsrc/kernel" -name "$m.ko" 2>/dev/null | head -n 1 || true)
  [ -n "$ko" ] || continue
  cp "$ko" "$root/lib/modules/$kver/$m.ko"
  echo "/lib/modules/$kver/$m.ko" >>"$root/qvlab-vm/modules"
done

# The project: "DESTINATION SOURCE" lines written by tests/kernel/CMakeLists.txt.
while read -r dest src; do
  [ -n "$dest" ] || continue
  mkdir -p "$root$(dirname "$dest")"
  cp -L "$src" "$root$dest"
done <"$manifest"
# The default system file may be absent (the lab is then loaded empty); one
# named with --system must exist.
if [ -e "$system" ]; then
  copies+=("$system")
  echo "$system" >"$root/qvlab-vm/system"
elif [ "$system" != "$repo/examples/systems/kernel/lab.ini" ]; then
  fail "$system does not exist"
fi
# A controller file beside the system file names the lab's controllers that
# the model table does not know; the library reads it where it always does.
if [ -e "$(dirname "$system")/pxicontrollers.ini" ]; then
  mkdir -p "$root/var/lib/qvpxi"
  cp "$(dirname "$system")/pxicontrollers.ini" "$root/var/lib/qvpxi/"
  copies+=("$(dirname "$system")/pxicontrollers.ini")
fi
for path in "$repo/tests/kernel" "$repo/examples/firmware" "$repo/python/qvzelif" "${copies[@]}"; do
  [ -e "$path" ] || fail "$path does not exist"
  mkdir -p "$root$(dirname "$path")"
  cp -a "$path" "$root$(dirname "$path")/"
done

# The command, quoted for the machine's shell, and where it runs.
quote() { printf "'%s'" "${1//\'/\'\\\'\'}"; }
{
  printf 'cd %s 2>/dev/null || cd /\n' "$(quote "$here")"
  printf 'exec'
  for a in "$@"; do printf ' %s' "$(quote "$a")"; done
  printf '\n'
} >"$root/qvlab-vm/command"
cp scripts/kernel-lab-init.sh "$root/init"
chmod 755 "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"

# The machine: console and kernel log on the first serial port, the
# command's output on the second, streamed to this terminal while it runs.
: >"$console"
: >"$output"
accel=tcg
# KVM only where it demonstrably boots: QVZ_KERNEL_LAB_KVM=1 asks for it.
if [ "${QVZ_KERNEL_LAB_KVM:-0}" = 1 ] && [ -w /dev/kvm ]; then accel=kvm; fi
qemu=(qemu-system-x86_64 -machine q35,accel=$accel -cpu max -m 768 -smp "$cpus"
  -nodefaults -no-user-config -display none -no-reboot
  -kernel "$vmlinux" -initrd "$work/initramfs.cpio"
  -append "console=ttyS0 loglevel=5 panic=-1 oops=panic rdinit=/init"
  -serial "file:$console" -serial "file:$output"
  -virtfs local,path=/usr,mount_tag=usr,security_model=none,readonly=on,id=usr)
started=$SECONDS
"${qemu[@]}" </dev/null >"$work/qemu.log" 2>&1 &
qemu_pid=$!
tail -n +1 -s 0.2 -f --pid=$qemu_pid "$output" &
tail_pid=$!
timed_out=0
while kill -0 $qemu_pid 2>/dev/null; do
  if [ $((SECONDS - started)) -ge "$timeout" ]; then
    timed_out=1
    kill $qemu_pid 2>/dev/null || true
    break
  fi
  sleep 0.5
done
wait $qemu_pid 2>/dev/null || true
wait $tail_pid 2>/dev/null || true

if [ $timed_out -eq 1 ]; then
  echo "kernel-lab: the machine did not finish within $timeout s (a hang?); its console log: $console" >&2
  tail -n 20 "$console" >&2
  exit 124
fi
status=$(tr -d '\r' <"$console" | sed -n 's/^qvlab-vm: exit \([0-9]*\)$/\1/p' | tail -n 1)
if grep -q "Kernel panic" "$console"; then
  echo "kernel-lab: the kernel panicked; its console log: $console" >&2
  grep -B 30 -A 5 -m 1 "Kernel panic" "$console" | tr -d '\r' >&2
  exit 125
fi
if [ -z "$status" ]; then
  echo "kernel-lab: the machine stopped without reporting the command's status; its console log: $console" >&2
  tail -n 20 "$console" "$work/qemu.log" >&2
  exit 125
fi
if grep -qE '^(\[ *[0-9.]+\] )?(WARNING: |BUG: |general protection fault)' "$console"; then
  echo "kernel-lab: the kernel reported a fault; its console log: $console" >&2
  grep -E -A 12 -m 3 '(WARNING: |BUG: |general protection fault)' "$console" | tr -d '\r' >&2
  [ "$status" -ne 0 ] || status=126
fi
exit "$status"
