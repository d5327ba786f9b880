#!/usr/bin/env bash
# Creates the project's own Wine prefix (never the user's) and sets it up for the tests:
# Windows 7, no crash debugger, unmanaged windows, Wine's own fonts (Marlett draws the caption
# buttons, Tahoma is the dialog font), and a CJK font standing in for the Chinese system fonts.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
marker=$prefix/.project-ready
# A prefix made by an older version of this script is made anew.
version=3
[ "$(cat "$marker" 2>/dev/null)" = "$version" ] && exit 0

# A ready prefix elsewhere on this machine may be copied instead of made anew.
template=${WINE_PREFIX_TEMPLATE:-}
if [ -n "$template" ]; then
  for _ in $(seq 1 360); do
    [ "$(cat "$template/.project-ready" 2>/dev/null)" = "$version" ] && break
    sleep 5
  done
fi
if [ -n "$template" ] && [ "$(cat "$template/.project-ready" 2>/dev/null)" = "$version" ]; then
  "$(dirname "${BASH_SOURCE[0]}")/copy-prefix.sh" "$template" "$prefix"
  exit 0
fi

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
echo "Creating the Wine prefix $prefix (takes a few minutes on first use)" >&2
rm -rf "$prefix"
# On a slow or loaded machine the first start may outlast the time Wine's loader waits for it
# ("boot event wait timed out", a failed wineboot) while the set-up goes on behind it: wait until
# all of it has ended, then run it again over what it made.
tries=3
for try in $(seq 1 "$tries"); do
  rc=0
  wineboot -i </dev/null >/dev/null 2>&1 || rc=$?
  timeout 1800 wineserver -w || true
  [ "$rc" != 0 ] || break
  if [ "$try" = "$tries" ]; then
    echo "wine-prefix: could not make the Wine prefix $prefix: wineboot -i failed $tries times (last exit status $rc)" >&2
    exit 1
  fi
  echo "wine-prefix: wineboot -i ended with exit status $rc (try $try of $tries); trying again" >&2
  sleep $((try * 10))
done
# This Wine looks for its own fonts only in the prefix.
fonts=/usr/share/wine/fonts
if compgen -G "$fonts/*.ttf" >/dev/null; then
  cp -n "$fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"
else
  echo "wine-prefix: Wine's own fonts are missing ($fonts); caption buttons show letters" >&2
fi

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
font="WenQuanYi Micro Hei"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="win7"\r\n\r\n'
  # No window manager runs on the virtual display: managed windows would wait for one on hiding.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\r\n"Debugger"=-\r\n"Auto"="0"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for name in "宋体" "SimSun" "新宋体" "NSimSun" "黑体" "SimHei" "微软雅黑" "Microsoft YaHei"; do
    printf '"%s"="%s"\r\n' "$name" "$font"
  done
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  # Captions use the bold dialog font, which is linked on its own.
  for base in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    printf '"%s"=hex(7):%s\r\n' "$base" \
      "$(printf 'wqy-microhei.ttc,%s\0\0' "$font" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//;s/,$//')"
  done
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"

wine regedit /S "$(winepath -w "$reg")" </dev/null >/dev/null 2>&1
wineserver -w
echo "$version" > "$marker"
