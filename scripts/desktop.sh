# Sourced: start_wine_session starts the prefix's server, its services and the desktop, none of
# them holding anyone's output open (they live as long as the server and inherit the output of
# whoever started them).
start_wine_session() {
  wineserver -p </dev/null >/dev/null 2>&1 &
  wineboot </dev/null >/dev/null 2>&1 || true
  start_desktop
}

# start_desktop starts Wine's desktop process on the session's display and returns once
# it has loaded its display driver. A program whose first window comes before that is left
# without a driver for its whole life, and every window it makes is refused with no error code.
# A user (a cmd.exe reading from a pipe held open by this shell) keeps the desktop for the whole
# session: it ends a moment after its last user otherwise. The bound only guards against a
# desktop that never comes.
start_desktop() {
  local known fifo ready= _
  # The desktop names its driver under a key of its own, new on each start.
  known=$(mktemp)
  desktop_drivers >"$known"
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  wine cmd.exe <"$fifo" >/dev/null 2>&1 &
  exec {desktop_user}>"$fifo"
  rm -f "$fifo"
  wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
  for _ in $(seq 1 180); do
    # (No process substitution: the emulated machine has no /dev/fd.)
    if desktop_drivers | grep -qvxF -f "$known"; then
      ready=1
      break
    fi
    sleep 1
  done
  rm -f "$known"
  [ -n "$ready" ] || echo "desktop: Wine's desktop did not load its display driver within three minutes" >&2
}

desktop_drivers() {
  # Before the first desktop the key may not be there yet.
  { wine reg query 'HKLM\System\CurrentControlSet\Control\Video' </dev/null 2>/dev/null || true; } | tr -d '\r' | sort
}
