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

# Opens config.exe, which reads the "PelkV3.ini" beside itself, in FOLDER. On a display of the
# user's where Wine runs directly the form opens there until it is closed; otherwise it runs on
# a virtual display, a picture of its form is saved to PICTURE, and it is ended unsaved.
#   open_config FOLDER PICTURE
open_config() {
  local folder=$1 picture=$2
  source "$root/scripts/platform.sh"
  if [ -n "${DISPLAY:-}" ] && runs_32bit_natively; then
    in_windows "$root/scripts/wine-run" "$folder/config.exe"
  else
    DISPLAY= in_windows bash "$root/scripts/demo-picture.sh" "$folder/config.exe" "程序设置" "$picture"
    echo "config: the form's picture is in $picture"
  fi
}
