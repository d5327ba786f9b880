#!/bin/busybox sh
# First process of the test machine: mount the host's file system over 9p and run the job.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in $(cat /modules.order); do insmod "/modules/$module" 2>/dev/null; done
mkdir -p /root
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose,access=any hostroot /root || {
  echo "vm: cannot mount the host's files"; poweroff -f; }
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t devtmpfs dev /root/dev
mkdir -p /root/dev/pts /root/dev/shm
mount -t devpts devpts /root/dev/pts
mount -t tmpfs shm /root/dev/shm
# /tmp stays the host's (work may live there). Sockets cannot live on the shared files: the
# jobs' temporary folder (Wine's server sockets) and the X sockets are the machine's own.
mount -t tmpfs run /root/run
mkdir -p /root/run/tmp /root/tmp/.X11-unix
chmod 1777 /root/run/tmp
mount -t tmpfs -o mode=1777 x11-sockets /root/tmp/.X11-unix
job=$(sed -n 's/.*vmjob=\([^ ]*\).*/\1/p' /proc/cmdline)
chroot /root /bin/bash -c "cd / && exec /bin/bash '$job'"
echo $? > "/root$job.rc"
sync
poweroff -f
