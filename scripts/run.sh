#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the system as its users would.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare
echo "== What the OS layer reports"
in_windows "$root/scripts/wine-run" "$build/bin/osinfo.exe"
echo "== The VM host recording: a default recording of events from four threads, then its chunks"
# The repository lies in the build folder; Wine sees this machine's files on drive Z:.
repository="$build/qrn-repository"
rm -rf "$repository"
mkdir -p "$repository"
in_windows "$root/scripts/wine-run" "$build/bin/vmhost.exe" \
  "-agentpath:$build/bin/qrn.dll=defaultrecording=true,repository=Z:${repository//\//\\}" \
  -recorder -threads:4 -run:3000 -chunks
echo "== The VM host with the management natives"
in_windows "$root/scripts/wine-run" "$build/bin/vmhost.exe" "-library:$build/bin/vexil.dll" -management
echo "== The heap-setting program on the sample settings file"
# config.exe reads the "PelkV3.ini" beside it; a sample is made once and then kept as saved.
settings="$build/bin/PelkV3.ini"
[ -f "$settings" ] || printf -- '-Xms128m\r\n-Xmx512m\r\n-Dfile.encoding=GBK\r\n' >"$settings"
open_config "$build/bin" "$build/config.png"
