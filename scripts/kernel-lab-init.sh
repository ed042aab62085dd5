#!/bin/busybox sh
# SPDX-License-Identifier: LGPL-2.1-or-later
# The init of scripts/kernel-lab.sh's machine: mounts the file systems, the
# distribution's /usr over 9p, loads the driver and the lab, loads the lab's
# system file, runs the command on the second serial port and reports its
# status on the console as "qvlab-vm: exit N" before powering off.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin:/usr/sbin HOME=/root TMPDIR=/tmp
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# /tmp and /run stay on the initramfs (already in memory): a file system
# mounted over them would hide the project when it was copied in below /tmp.
chmod 1777 /tmp
report() {
	echo "qvlab-vm: exit $1" >/dev/ttyS0
	poweroff -f
}
while read -r ko; do
	insmod "$ko" || { echo "qvlab-vm: insmod $ko failed" >/dev/ttyS0; report 125; }
done </qvlab-vm/modules
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144,cache=loose usr /usr ||
	{ echo "qvlab-vm: cannot mount /usr" >/dev/ttyS0; report 125; }
stty -F /dev/ttyS1 raw -echo 2>/dev/null
if [ -r /qvlab-vm/system ] && [ -e /dev/qvlab ]; then
	qvlab load "$(cat /qvlab-vm/system)" >/dev/ttyS1 2>&1 ||
		{ echo "qvlab-vm: qvlab load $(cat /qvlab-vm/system) failed" >/dev/ttyS0; report 125; }
fi
# Closing the port at the end waits until its output has gone out.
sh /qvlab-vm/command </dev/null >/dev/ttyS1 2>&1
report $?
