# Shared by the main job, the tests and the benchmarks: install, configure and build.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export BUILD_DIR=$build

prepare() {
  "$root/scripts/setup.sh"
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" >/dev/null
  else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  fi
  cmake --build "$build"
}

# Runs a command where the Windows programs run (see windows-env.sh).
in_windows() {
  bash "$root/scripts/windows-env.sh" "$@"
}
