# Shared by the main job and the test run: install, configure, build, and bring up Wine.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

prepare() {
  "$root/scripts/setup.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$build"
  export WINEPREFIX=$build/wineprefix
  "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
  # A wineserver started by a wine call would keep that call's output open: start it ourselves.
  WINEPREFIX=$WINEPREFIX wineserver -p </dev/null >/dev/null 2>&1 &
  trap 'WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true' EXIT
}
