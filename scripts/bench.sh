#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every benchmark under Wine; each prints
# our figures against a baseline measured in the same run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
if [ "${1:-}" != "--here" ]; then
  prepare
  in_windows bash "$root/scripts/bench.sh" --here
  exit
fi
status=0
for program in "$build"/bin/*_bench.exe; do
  echo "== $(basename "$program" .exe)"
  (cd "$build/bin" && "$root/scripts/wine-run" "$program" </dev/null) || status=1
done
exit $status
