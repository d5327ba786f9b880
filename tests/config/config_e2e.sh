#!/usr/bin/env bash
# Runs config.exe as its user does, case by case, each in a fresh folder beside its own
# "PelkV3.ini": real typing and clicks through xdotool on a display of our own, the window tree
# read by config_probe.exe, and the file compared byte for byte afterwards.
#   config_e2e.sh CONFIG.exe PROBE.exe [CASE... | --except CASE...]
# It runs in a Wine prefix of its own (a copy of the project's), since it turns visual styles off
# for some cases, and on a display of its own, so that no other test's window lies over the form.
# Runs given CONFIG_E2E_GROUP each have a prefix of their own, so that they may run at once.
# CONFIG_E2E_LATE_FOCUS_MS (0 unless given) is how late the programs' windows get the X input
# focus (see late_focus_display.py); CONFIG_E2E_REFUSED_FOCUS=1 has the server refuse every
# request of theirs for the focus, and each case starts with the pointer off every window.
set -euo pipefail
config_exe=$(realpath "${1:?usage: config_e2e.sh CONFIG.exe PROBE.exe [CASE... | --except CASE...]}")
probe_exe=$(realpath "${2:?usage: config_e2e.sh CONFIG.exe PROBE.exe [CASE... | --except CASE...]}")
shift 2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source_prefix=${WINEPREFIX:-${BUILD_DIR:?}/wineprefix}
prefix=$source_prefix-config-e2e${CONFIG_E2E_GROUP:+-$CONFIG_E2E_GROUP}
if ! cmp -s "$source_prefix/.project-ready" "$prefix/.project-ready"; then
  "$here/../../scripts/copy-prefix.sh" "$source_prefix" "$prefix"
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LANG=${LANG:-C.UTF-8}
work=$(mktemp -d)
# The cases' folders are drive T: to the programs, so that the paths they show are the same on
# every machine.
ln -sfn "$work" "$prefix/dosdevices/t:"
xvfb=
late=
probe_pid=

cleanup() {
  [ -z "$probe_pid" ] || { echo quit >&"${PROBE[1]}" 2>/dev/null || true; }
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$late" ] || kill "$late" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
  rm -f "$prefix/dosdevices/t:"
}
trap cleanup EXIT

# A display server started with FILE as where it writes its number: waits for the number
# (inside the emulated machine, with other tests running, this may take a while) and exports it.
#   use_display FILE PID WHAT
use_display() {
  for _ in $(seq 1 1200); do
    [ -s "$1" ] && break
    kill -0 "$2" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$1" ] || { echo "config_e2e: $3 did not start" >&2; exit 1; }
  export DISPLAY=:$(tr -dc 0-9 <"$1")
  rm -f "$1"
}

number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
xvfb=$!
use_display "$number" "$xvfb" Xvfb
# The test moves the focus on this display itself: the late-focus display would hold its moves
# back as it holds back the programs'.
x_display=$DISPLAY
root_window=$(($(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-fA-F]*\).*/\1/p')))
# The programs see the display through one that gives their windows the X input focus this many
# ms late (0: they see it as it is). Input sent before the focus arrives is then lost every time,
# not only on a machine fast enough to send it in that moment, so no case can come to rely on
# that moment on any machine.
late_focus_ms=${CONFIG_E2E_LATE_FOCUS_MS:-0}
[ "${CONFIG_E2E_REFUSED_FOCUS:-0}" = 0 ] || late_focus_ms=refuse
if [ "$late_focus_ms" != 0 ]; then
  number=$(mktemp)
  python3 "$here/late_focus_display.py" "$DISPLAY" "$late_focus_ms" </dev/null >"$number" 2>/dev/null &
  late=$!
  use_display "$number" "$late" "the late-focus display"
fi

source "$here/../../scripts/desktop.sh"
start_wine_session
# Captions are drawn in the bold dialog font, which needs its own link to a font with Chinese
# glyphs (prefixes made before scripts/wine-prefix.sh named it lack it).
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "Tahoma Bold" \
  /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1

coproc PROBE { wine "$probe_exe" 2>/dev/null; }
probe_pid=$PROBE_PID

failures=0
current=
seen=
# What must come is waited for this long (ms): only a guard against a hang, far beyond what any
# machine, however slow or loaded, needs; a wait that runs out says what it waited for.
bound=120000
fail() {
  echo "  FAILED ($current): $*" >&2
  failures=$((failures + 1))
  case_failed=1
}

# One command to the probe, its answer on stdout.
ask() {
  echo "$*" >&"${PROBE[1]}"
  local answer
  while :; do
    IFS= read -r -t 600 answer <&"${PROBE[0]}" || { answer="@@ (no answer)"; break; }
    answer=${answer%$'\r'}
    [ "${answer#@@ }" = "$answer" ] || break
    echo "  probe: $answer" >&2
  done
  printf '%s\n' "${answer#@@ }"
}

# expect WHAT ACTUAL EXPECTED
expect() {
  [ "$2" = "$3" ] || fail "$1: got \"$2\", expected \"$3\""
}

# The case's settings file as the programs see it.
win_path() { printf 'T:\\%s\\PelkV3.ini' "$current"; }

# A fresh folder with config.exe and the given file (none with --no-file), kept as "before".
#   prepare_folder [--no-file] [BYTES]
prepare_folder() {
  dir=$work/$current
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$config_exe" "$dir/config.exe"
  if [ "${1:-}" != --no-file ]; then
    printf '%b' "${1:-}" >"$dir/PelkV3.ini"
    cp -p "$dir/PelkV3.ini" "$dir/before"
  fi
}
launch() {
  ( cd "$dir" && exec wine "T:\\$current\\config.exe" </dev/null >/dev/null 2>&1 ) &
  config_pid=$!
}
start_config() {
  prepare_folder "$@"
  launch
}

wait_form() {
  local answer
  answer=$(ask wait-form $bound)
  if [ "${answer%% *}" != form ]; then
    fail "the form did not show"
    return 1
  fi
  ask foreground >/dev/null
  return 0
}

# Waits (bounded, minutes for a slow machine) for config.exe to end.
wait_exit() {
  for _ in $(seq 1 $((bound / 100))); do
    kill -0 "$config_pid" 2>/dev/null || { wait "$config_pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  fail "config.exe did not end"
  kill "$config_pid" 2>/dev/null || true
  wine taskkill /f /im config.exe >/dev/null 2>&1 || true
  return 1
}

still_running() {
  kill -0 "$config_pid" 2>/dev/null || fail "config.exe ended"
}

# Input goes through the X server, which hands a key to the window holding its input focus and
# a click to the window under the pointer. Wine brings its windows there only once the program's
# own thread has taken them in: a moment after the window shows or takes the keyboard, and after
# the probe can see that. A key or a click sent before then is lost. So all input first waits
# (bounded) for the X server to be ready for it, and a wait that runs out says what it saw.

# await WHAT CHECK [ARG...]: runs CHECK until it succeeds; one that never does within the bound
# fails as WHAT, with what CHECK last saw ($seen).
await() {
  local what=$1 deadline=$((SECONDS + bound / 1000))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      fail "$what ($seen)"
      return 1
    fi
    sleep 0.02
  done
}

# keyboard_reaches form|box: the program passes a key on to the form or the box, and the X
# server would send it to a window of the program. (Not necessarily the box's own: Wine at times
# leaves the X focus on the form while the box is active, and a key still reaches the box.) The
# server sends a key to the window holding its input focus, or, with the focus on the root (or on
# PointerRoot, as the server starts), to the one under the pointer. Wine asks for the focus with a
# time stamp taken from the program's last message, and the server silently refuses a request
# stamped before its last change of the focus or after its own time; so the focus may stay on the
# root, where the server put it when the focused window went away, while the program has the
# keyboard. No window manager runs here to give the window the focus then: the test does, as one
# would, and sends the key only once the server has it there.
keyboard_reaches() {
  local answer focus target under window
  answer=$(ask keyboard "$1")
  focus=$(xdotool getwindowfocus -f 2>/dev/null || true)
  target=$focus
  seen="the program: $answer; the X input focus: X window ${focus:-none}"
  if [ "$focus" = 1 ] || [ "$focus" = "$root_window" ]; then
    under=$(xdotool getmouselocation --shell 2>/dev/null | sed -n 's/^WINDOW=//p')
    target=$under
    seen="$seen (the root's: a key goes to X window ${under:-none} under the pointer)"
  fi
  [ "${answer%% *}" = keyboard ] || return 1
  for window in ${answer#keyboard}; do
    [ "$window" != "$target" ] || return 0
  done
  window=$(ask xwindow "$1")
  [ "${window%% *}" != xwindow ] || python3 "$here/x_focus.py" "$x_display" "${window#xwindow }" 2>/dev/null || true
  return 1
}

# The X server has the form's window under the pointer.
pointer_on_form() {
  local window under
  window=$(ask xwindow form)
  under=$(xdotool getmouselocation --shell 2>/dev/null | sed -n 's/^WINDOW=//p')
  seen="the form: $window; under the pointer: X window ${under:-none}"
  [ "$window" = "xwindow $under" ]
}

# A click on the form.
click() {
  local answer
  answer=$(ask point "$1")
  set -- $answer
  [ "$1" = point ] || { fail "no place to click (form: $(ask wait-form 0); box: $(ask box 0); running: $(kill -0 "$config_pid" 2>/dev/null && echo yes || echo no))"; return; }
  xdotool mousemove "$2" "$3"
  await "the form's window did not come under the pointer" pointer_on_form || return 1
  xdotool click 1
}

# key form|box KEY... and type_text form|box TEXT: sent once a key would reach the form or box.
keys_reach() { await "a key would not reach the $1" keyboard_reaches "$1"; }
key() { keys_reach "$1" && xdotool key --delay 60 "${@:2}"; }
type_text() { keys_reach "$1" && xdotool type --delay 60 "$2"; }

# Selects the spin edit's text and types over it.
type_value() {
  local shown
  click edit
  key form End shift+Home
  shown=$(ask text)
  shown=${shown#text }
  expect_selection 0 ${#shown}
  type_text form "$1"
}

# The file must hold exactly these bytes.
expect_file() {
  printf '%b' "$1" >"$dir/expected"
  cmp -s "$dir/PelkV3.ini" "$dir/expected" || {
    fail "PelkV3.ini differs: $(od -c "$dir/PelkV3.ini" | head -5 | tr '\n' '|')"
  }
}
expect_unchanged() {
  cmp -s "$dir/PelkV3.ini" "$dir/before" || fail "PelkV3.ini changed"
}
expect_no_temporary() {
  [ ! -e "$dir/PelkV3.ini.tmp" ] || fail "PelkV3.ini.tmp was left behind"
}

# expect_box TEXT: a prompt of the form with the given text.
expect_box() {
  expect "message box" "$(ask box $bound)" "box 系统提示	$1	1"
}

# The program answers input in its own time: these wait, bounded, for what they expect.
expect_text() { expect "spin edit text" "$(ask text "$1" $bound)" "text $1"; }
expect_focus() { expect "focus" "$(ask focus "$1" $bound)" "$1"; }
expect_selection() { expect "selection" "$(ask selection "$1" "$2" $bound)" "selection $1 $2"; }
# After a prompt was closed: the form is still there, the focus back in the spin edit.
expect_form_back() {
  [ "$(ask wait-gone-box $bound)" = gone ] || fail "the prompt stayed"
  still_running
  expect_focus edit
}
expect_shot() {
  local answer
  answer=$(ask shot "$1" "$2")
  [ "$answer" = match ] || fail "picture $2: $answer"
}

range_text="输入的数值不在384-1024范围内，请重新输入"

# ---- the cases

case_missing_file() {
  start_config --no-file
  expect_box "配置文件丢失，无法进行设置。"
  expect_shot box missing_file_box
  key box Return
  wait_exit || return
  [ ! -e "$dir/PelkV3.ini" ] || fail "a settings file was created"
  expect "folder" "$(ls "$dir" | tr '\n' ' ')" "config.exe "
}

case_no_heap_line() {
  start_config '-Xms128m\r\n-Dfile.encoding=GBK\r\n'
  wait_form || return
  expect_text 0
  expect_focus edit
  expect_shot form form_opened
  type_value 512
  click ok
  wait_exit || return
  expect_file '-Xms128m\r\n-Dfile.encoding=GBK\r\n-Xmx512m\r\n'
  expect_no_temporary
}

case_above_range_on_line_three() {
  start_config '-Xms128m\r\n-server\r\n-XMX2048m\r\n-Xss1m\r\n'
  wait_form || return
  expect_text 2048
  click ok
  expect_box "$range_text"
  expect_shot box range_box
  key box Return
  expect_form_back
  expect_unchanged
  click cancel
  wait_exit || return
  expect_unchanged
}

case_no_unit_letter() {
  start_config '-Xmx512\r\n'
  wait_form || return
  expect_text 51
  click ok
  expect_box "$range_text"
  key box Escape
  expect_form_back
  click cancel
  wait_exit || return
  expect_unchanged
}

case_two_heap_lines() {
  start_config '-Xmx600m\r\n-xmx900m\r\n'
  wait_form || return
  expect_text 600
  type_value 700
  click ok
  wait_exit || return
  expect_file '-Xmx700m\r\n-xmx900m\r\n'
}

# The bounds are allowed, the values beside them refused; each refusal leaves the form open and
# the file as it was, and a value typed after it is written as typed.
case_bounds() {
  local value
  for value in 383 1025; do
    start_config '-Xmx512m\r\n'
    wait_form || return
    type_value "$value"
    click ok
    expect_box "$range_text"
    key box Return
    expect_form_back
    expect_unchanged
    type_value 1024
    click ok
    wait_exit || return
    expect_file '-Xmx1024m\r\n'
  done
  start_config '# 384\n-Xmx512m\n'
  wait_form || return
  type_value 384
  click ok
  wait_exit || return
  expect_file '# 384\r\n-Xmx384m\r\n'
}

case_not_a_number() {
  start_config '-Xmx512m\r\n'
  wait_form || return
  type_value 1e3
  click ok
  expect_box "输入的值不正确，请重新输入"
  expect_shot box not_integer_box
  key box Return
  expect_form_back
  click cancel
  wait_exit || return
  expect_unchanged
}

case_plus_sign() {
  start_config '-Xmx512m\r\n'
  wait_form || return
  type_value +800
  click ok
  wait_exit || return
  expect_file '-Xmx800m\r\n'
}

case_cancel_and_close() {
  start_config '-Xmx512m\n-Xss1m'
  wait_form || return
  type_value 800
  click cancel
  wait_exit || return
  expect_unchanged
  start_config '-Xmx512m\n-Xss1m'
  wait_form || return
  type_value 800
  click close
  wait_exit || return
  expect_unchanged
}

case_spinning() {
  start_config '-Xmx512m\r\n'
  wait_form || return
  click edit
  key form Up
  expect_text 513
  key form Up Up
  expect_text 515
  key form Down
  expect_text 514
  click up
  expect_text 515
  click up
  expect_text 516
  click down
  expect_text 515
  click ok
  wait_exit || return
  expect_file '-Xmx515m\r\n'
}

# Escape gives back the value the spin edit had before typing, all of it selected, and OK then
# writes that value.
case_escape_resets() {
  start_config '-Xms64m\r\n-Xmx512m\r\n'
  wait_form || return
  click edit
  key form Home shift+End
  type_text form 600
  expect_text 600
  key form Escape
  expect_text 512
  expect_selection 0 3
  still_running
  click ok
  wait_exit || return
  expect_file '-Xms64m\r\n-Xmx512m\r\n'
}

# The spin edit's text is selected whenever the keyboard brings the focus to it, as the form
# opens too, so that typing replaces it.
case_tab_order() {
  start_config '-Xmx512m\r\n'
  wait_form || return
  expect_focus edit
  expect_selection 0 3
  key form Right
  expect_selection 3 3
  key form Tab
  expect_focus ok
  key form Tab
  expect_focus cancel
  key form Tab
  expect_focus edit
  expect_selection 0 3
  key form shift+Tab
  expect_focus cancel
  click cancel
  wait_exit || return
}

# From the keyboard alone: the form has no default button, so Enter presses nothing; Tab
# reaches 确定 and Space presses it.
case_keyboard_only() {
  start_config '-Xmx512m\r\n'
  wait_form || return
  type_text form 700
  expect_text 700
  key form Return Tab
  expect_focus ok
  still_running
  expect_unchanged
  key form space
  wait_exit || return
  expect_file '-Xmx700m\r\n'
}

# Another program reads the file and shares it for reading only: the save fails, the original
# stays, the error shows and the form stays open; once it lets go, OK saves.
case_write_fails() {
  start_config '-Xmx512m\r\n# \xc4\xda\xb4\xe6\r\n'
  wait_form || return
  expect "hold" "$(ask hold read "$(win_path)")" held
  type_value 900
  click ok
  local answer
  answer=$(ask box $bound)
  case "$answer" in
    "box config	"*"\\n$(win_path)	1") ;;
    *) fail "error box: $answer" ;;
  esac
  expect_shot box write_error_box
  key box Return
  [ "$(ask wait-gone-box $bound)" = gone ] || fail "the error box stayed"
  still_running
  expect_focus ok
  expect_unchanged
  expect_no_temporary
  ask release >/dev/null
  click ok
  wait_exit || return
  expect_file '-Xmx900m\r\n# \xc4\xda\xb4\xe6\r\n'
}

# The platform's file-error box instead of the form: the reason (a pattern), then the file's path;
# the program then ends, and the file stays as it was. A slow machine may take minutes to start
# the program; whichever shows first decides.
expect_refused() {
  local answer
  answer=$(ask box-or-form 300000)
  case "$answer" in
    "box config	"$1"\\n$(win_path)	1") ;;
    form) fail "the form showed instead of the error box"; ask release >/dev/null; click cancel; wait_exit; return 1 ;;
    *) fail "error box: $answer" ;;
  esac
  [ -z "${2:-}" ] || expect_shot box "$2"
  key box Return
  wait_exit
  ask release >/dev/null
  expect_unchanged
  expect_no_temporary
}

# The file held without sharing: an error box instead of the form, and an end without writing.
case_locked_read() {
  prepare_folder '-Xmx512m\r\n'
  expect "hold" "$(ask hold none "$(win_path)")" held
  launch
  expect_refused "*" read_error_box
}

# A file in UTF-16 or UTF-32 is not 8-bit text: read as lines, a save would cut its line ends in
# half. The box says so, and the program ends without writing.
case_not_8bit_text() {
  local file kind shot=utf16_box
  for file in 'UTF-16=\xff\xfe-\x00X\x00m\x00x\x005\x001\x002\x00m\x00\r\x00\n\x00' \
              'UTF-16=\xfe\xff\x00-\x00X\x00m\x00x\x005\x001\x002\x00m\x00\r\x00\n' \
              'UTF-32=\xff\xfe\x00\x00-\x00\x00\x00X\x00\x00\x00m\x00\x00\x00x\x00\x00\x00'; do
    kind=${file%%=*}
    prepare_folder "${file#*=}"
    launch
    expect_refused "The file is not 8-bit text: it begins with a $kind byte-order mark." $shot || return
    shot=
  done
}

# A file over 64 MB is no settings file to rewrite; the box says why, not only where.
case_too_large() {
  prepare_folder --no-file
  printf -- '-Xmx512m\r\n' >"$dir/PelkV3.ini"
  truncate -s $((64 * 1024 * 1024 + 1)) "$dir/PelkV3.ini"
  cp -p "$dir/PelkV3.ini" "$dir/before"
  launch
  expect_refused "The file is too large: a settings file is read up to 64 MB."
}

case_gbk_and_nul_survive() {
  start_config '# \xd7\xee\xb4\xf3\xc4\xda\xb4\xe6\r\n-Da=\x00\x80\xff\r\n-Xmx512m\r\n-Xss1m'
  wait_form || return
  type_value 600
  click ok
  wait_exit || return
  expect_file '# \xd7\xee\xb4\xf3\xc4\xda\xb4\xe6\r\n-Da=\x00\x80\xff\r\n-Xmx600m\r\n-Xss1m\r\n'
}

# Value texts that are no plain number show what the spin edit makes of them, or its 0; nothing
# of it is written unless OK saves.
case_odd_values() {
  local file shown
  for file in '-Xmx1g\r\n=1' '-Xmxabcm\r\n=0' '-Xmx\r\n=0' '-Xmx99999999999999999999m\r\n=' '-Xmx-5m\r\n=-5'; do
    shown=${file##*=}
    start_config "${file%=*}"
    wait_form || return
    [ -z "$shown" ] || expect_text "$shown"
    click cancel
    wait_exit || return
    expect_unchanged
  done
}

# Generated files of every byte value: the save changes the heap line and the line ends only.
case_mutated_files() {
  local seed
  for seed in 7 11; do
    prepare_folder --no-file
    python3 "$here/mutated_settings.py" "$seed" "$dir/PelkV3.ini" "$dir/expected" -Xmx650m
    launch
    wait_form || return
    type_value 650
    click ok
    wait_exit || return
    cmp -s "$dir/PelkV3.ini" "$dir/expected" || fail "seed $seed: the saved file differs"
  done
}

theme_active() {
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /t REG_SZ /d "$1" /f \
    </dev/null >/dev/null 2>&1
}

case_theme_off() {
  theme_active 0
  start_config '-Xmx512m\r\n'
  wait_form || { theme_active 1; return; }
  expect_shot form form_theme_off
  click cancel
  wait_exit
  theme_active 1
}

all_cases=(missing_file no_heap_line above_range_on_line_three no_unit_letter two_heap_lines bounds
           not_a_number plus_sign cancel_and_close spinning escape_resets tab_order write_fails locked_read
           not_8bit_text too_large keyboard_only gbk_and_nul_survive odd_values mutated_files theme_off)
except=
if [ "${1:-}" = --except ]; then
  except=1
  shift
fi
for name in "$@"; do
  declare -F "case_$name" >/dev/null || { echo "config_e2e: no case $name" >&2; exit 1; }
done
cases=("$@")
if [ -n "$except" ] || [ $# -eq 0 ]; then
  cases=()
  for name in "${all_cases[@]}"; do
    case " $* " in *" $name "*) ;; *) cases+=("$name") ;; esac
  done
fi
[ "$(ask wait-gone 0)" = gone ] || echo "config_e2e: windows left from before" >&2
for name in "${cases[@]}"; do
  current=$name
  case_failed=0
  [ "${CONFIG_E2E_REFUSED_FOCUS:-0}" = 0 ] || xdotool mousemove 0 0
  echo "[ RUN      ] $name"
  "case_$name" || true
  # Nothing of this case may stay for the next one.
  if kill -0 "${config_pid:-0}" 2>/dev/null; then
    fail "config.exe still runs"
    kill "$config_pid" 2>/dev/null || true
  fi
  [ "$(ask wait-gone $bound)" = gone ] || fail "windows left behind"
  if [ "$case_failed" = 0 ]; then
    echo "[       OK ] $name"
  else
    echo "[  FAILED  ] $name"
  fi
done
if [ "$failures" -gt 0 ]; then
  echo "config_e2e: $failures failed checks" >&2
  exit 1
fi
echo "config_e2e: all ${#cases[@]} cases passed"
