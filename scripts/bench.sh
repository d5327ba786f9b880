#!/usr/bin/env bash
# Builds everything and runs every benchmark program under Wine; each prints its own figures
# against a baseline measured in the same run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare
status=0
for program in "$build"/bin/*_bench.exe; do
  [ -e "$program" ] || continue
  echo "== $(basename "$program" .exe)"
  "$root/scripts/wine-run" "$program" || status=$?
done
exit "$status"
