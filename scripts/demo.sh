#!/usr/bin/env bash
# Shows the canvas demo: a window with everything the control library's canvas draws.
#   bash scripts/demo.sh [PICTURE.png]
# With a display of the user's where Wine runs directly, the window opens there and stays until
# closed. Otherwise (no display, or Wine inside the emulated machine, which cannot reach the
# user's display) the demo runs on a virtual display and a picture of its window is saved, by
# default to build/canvas_demo.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$root/scripts/platform.sh"
prepare
if [ -n "${DISPLAY:-}" ] && runs_32bit_natively; then
  exec bash "$root/scripts/windows-env.sh" "$root/scripts/wine-run" "$build/bin/canvas_demo.exe"
fi
picture=$(realpath -m "${1:-$build/canvas_demo.png}")
DISPLAY= in_windows bash "$root/scripts/demo-picture.sh" "$build/bin/canvas_demo.exe" "Canvas demo" "$picture"
echo "demo: the window's picture is in $picture"
