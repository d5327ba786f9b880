#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$root/scripts/platform.sh"
# Each CTest entry (a group of a test program's suites) has this limit, in seconds: it only
# guards against a hang. Everything runs several times slower in the emulated machine.
if runs_32bit_natively; then
  echo "test: Windows programs run under Wine directly (this kernel runs 32-bit x86 programs)"
  timeout=${TEST_TIMEOUT:-900}
else
  case "${WINDOWS_IN_MACHINE:-}" in
    ""|0) why="this kernel runs no 32-bit x86 programs itself" ;;
    *) why="WINDOWS_IN_MACHINE asks for it" ;;
  esac
  echo "test: Windows programs run under Wine in the emulated x86 machine ($why)"
  timeout=${TEST_TIMEOUT:-2700}
fi
prepare
in_windows ctest --test-dir "$build" --output-on-failure --timeout "$timeout" -j "${TEST_JOBS:-4}" "$@"
