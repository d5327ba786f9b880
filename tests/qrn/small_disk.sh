#!/usr/bin/env bash
# Runs the tests that need a disk that fills up: a small tmpfs, where this machine lets us mount one.
set -u
runner=$1
program=$2
disk=$(mktemp -d)
if ! mount -t tmpfs -o size=256k tmpfs "$disk" 2>/dev/null; then
  echo "small_disk: cannot mount a tmpfs here; the small-disk tests are skipped"
  rmdir "$disk"
  exit 0
fi
QRN_SMALL_DISK="Z:${disk//\//\\}" "$runner" "$program" --gtest_color=no --gtest_filter='SmallDisk.*'
rc=$?
umount "$disk"
rmdir "$disk"
exit $rc
