#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare
in_windows ctest --test-dir "$build" --output-on-failure --timeout 1500 -j "${TEST_JOBS:-4}" "$@"
