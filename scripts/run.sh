#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the system as its users would.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare
echo "== What the OS layer reports"
in_windows "$root/scripts/wine-run" "$build/bin/osinfo.exe"
echo "== The VM host with the flight recorder agent and its default options"
in_windows "$root/scripts/wine-run" "$build/bin/vmhost.exe" "-agentpath:$build/bin/qrn.dll" -recorder -run:2000
echo "== The VM host with the management natives"
in_windows "$root/scripts/wine-run" "$build/bin/vmhost.exe" "-library:$build/bin/vexil.dll" -management
