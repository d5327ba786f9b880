#!/usr/bin/env bash
# Builds everything and runs every benchmark under Wine; each prints its figures against a
# baseline measured in the same run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare
for program in "$build"/bin/*_bench.exe; do
  echo "== $(basename "$program" .exe)"
  (cd "$build/bin" && "$root/scripts/wine-run" "$program")
done
