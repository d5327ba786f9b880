#!/usr/bin/env bash
# Runs a test program under another locale, in a Wine prefix of its own: a Wine process of
# another code page rewrites the prefix's font links and its cache of locale settings, which the
# other tests (and their screenshots) rely on.
#   run_in_locale.sh LOCALE PROGRAM [ARGS...]
set -euo pipefail
locale=${1:?usage: run_in_locale.sh LOCALE PROGRAM [ARGS...]}
shift
source_prefix=${WINEPREFIX:-${BUILD_DIR:?}/wineprefix}
prefix=$source_prefix-$locale
if ! cmp -s "$source_prefix/.project-ready" "$prefix/.project-ready"; then
  "$(dirname "${BASH_SOURCE[0]}")/../../scripts/copy-prefix.sh" "$source_prefix" "$prefix"
fi
export WINEPREFIX=$prefix LANG=$locale
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/desktop.sh"
start_wine_session
wine "$@"
