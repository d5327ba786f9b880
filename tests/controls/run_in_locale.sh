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
# The prefix's server and services must not hold the test's output open after it ends.
wineserver -p </dev/null >/dev/null 2>&1 &
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot </dev/null >/dev/null 2>&1 || true
# The desktop process comes before the program, with a user that keeps it for the whole run, and
# the program starts only once it has loaded its display driver (it names it under a key of its
# own, new on each start): a program whose first window comes earlier is left without a driver
# for its whole life, and every window it makes is refused with no error code. The bound only
# guards against a desktop that never comes.
drivers() {
  wine reg query 'HKLM\System\CurrentControlSet\Control\Video' </dev/null 2>/dev/null | tr -d '\r' | sort
}
# (No process substitution: the emulated machine has no /dev/fd.)
known=$(mktemp)
drivers >"$known"
fifo=$(mktemp -u)
mkfifo "$fifo"
wine cmd.exe <"$fifo" >/dev/null 2>&1 &
exec {desktop_user}>"$fifo"
rm -f "$fifo"
wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
ready=
for _ in $(seq 1 180); do
  if drivers | grep -qvxF -f "$known"; then
    ready=1
    break
  fi
  sleep 1
done
rm -f "$known"
[ -n "$ready" ] || echo "run_in_locale: the desktop did not load its display driver within three minutes" >&2
wine "$@"
