#!/usr/bin/env bash
# Shows a demo of the control library: the canvas demo (everything the canvas draws) or the
# painters demo (every painter operation in each style).
#   bash scripts/demo.sh [canvas|painters] [PICTURE.png]
# With a display of the user's where Wine runs directly, the window opens there and stays until
# closed. Otherwise (no display, or Wine inside the emulated machine, which cannot reach the
# user's display) the demo runs on a virtual display and a picture of its window is saved, by
# default to build/canvas_demo.png or build/painters_demo.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$root/scripts/platform.sh"
demo=canvas
case "${1:-}" in
  canvas|painters) demo=$1; shift ;;
esac
case $demo in
  canvas) title="Canvas demo" ;;
  painters) title="Painters demo" ;;
esac
prepare
if [ -n "${DISPLAY:-}" ] && runs_32bit_natively; then
  exec bash "$root/scripts/windows-env.sh" "$root/scripts/wine-run" "$build/bin/${demo}_demo.exe"
fi
picture=$(realpath -m "${1:-$build/${demo}_demo.png}")
DISPLAY= in_windows bash "$root/scripts/demo-picture.sh" "$build/bin/${demo}_demo.exe" "$title" "$picture"
echo "demo: the window's picture is in $picture"
