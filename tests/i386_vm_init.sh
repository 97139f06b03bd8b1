#!/bin/sh
# The first process of the VM that runs the 32-bit Windows tests
# (tests/i386_vm.sh): mounts the kernel's file systems, the session's
# shared folder and the folders it names, each at its host path; runs the
# session's script, its output into the session folder; and powers off.
# Everything the script writes outside those folders is lost with the VM.
mount -t proc proc /proc 2> /dev/null
mount -t sysfs sys /sys 2> /dev/null  # the initrd may have moved them here
mount -t devtmpfs dev /dev 2> /dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio
modprobe 9p
# Reads through the page cache: an uncached read stops at the 9p message's
# size (256 KB), and Wine, reading a program's code in one read, was left
# with zeros past it.
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
mkdir -p /session
if ! mount -t 9p -o "$options" session /session; then
  echo "orbelune-init: the session folder cannot be mounted"
  echo o > /proc/sysrq-trigger
fi
# "TAG PATH" a line: the host's folders, at the same paths.
while read -r tag path; do
  mkdir -p "$path" && mount -t 9p -o "$options" "$tag" "$path" ||
    echo "orbelune-init: $path cannot be mounted"
done < /session/mounts
echo "orbelune-init: session started"
HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
  bash /session/run.sh > /session/output 2>&1
echo $? > /session/status.new
mv /session/status.new /session/status
sync
echo "orbelune-init: session ended, status $(cat /session/status)"
echo o > /proc/sysrq-trigger
sleep 60
