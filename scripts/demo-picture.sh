#!/usr/bin/env bash
# Inside a Windows session on a virtual display: starts a program, waits for its window by
# title, saves a picture of that window and ends the program.
#   demo-picture.sh PROGRAM.exe TITLE PICTURE
set -euo pipefail
program=$1 title=$2 picture=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/wine-run" "$program" </dev/null >/dev/null 2>&1 &
window=
for _ in $(seq 1 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "demo-picture: no window \"$title\" appeared" >&2
  exit 1
fi
sleep 2 # let it paint
import -window "$window" "$picture"
kill %1 2>/dev/null || true
