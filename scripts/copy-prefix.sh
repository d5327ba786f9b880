#!/usr/bin/env bash
# Copies a Wine prefix that other tests may be using at the time: the users' temporary folders,
# where tests make and remove their files, are left out, and a file that vanishes or changes
# while it is read is no fault.
#   copy-prefix.sh FROM TO
set -euo pipefail
from=${1:?usage: copy-prefix.sh FROM TO}
to=${2:?usage: copy-prefix.sh FROM TO}
rm -rf "$to"
mkdir -p "$to"
set +e
tar -C "$from" --exclude='./drive_c/users/*/Temp/*' --exclude='./drive_c/users/*/AppData/Local/Temp/*' \
  --ignore-failed-read --warning=no-file-changed --warning=no-file-removed --warning=no-failed-read \
  -cf - . | tar -C "$to" -xf -
status=("${PIPESTATUS[@]}")
set -e
# The reader answers 1 when a file changed or vanished while it was read.
[ "${status[0]}" -le 1 ] && [ "${status[1]}" -eq 0 ]
