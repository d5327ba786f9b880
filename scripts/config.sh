#!/usr/bin/env bash
# Opens config.exe on the "PelkV3.ini" in a folder of yours. The program reads the file beside
# itself, so a copy of it is put into that folder first.
#   bash scripts/config.sh FOLDER [PICTURE.png]
# Where there is no display of yours to open the form on, a picture of it is saved instead, by
# default to build/config.png, and the file is not touched.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
folder=$(realpath "${1:?usage: config.sh FOLDER [PICTURE.png]}")
[ -f "$folder/PelkV3.ini" ] || echo "config: $folder holds no PelkV3.ini; the program will say so" >&2
picture=$(realpath -m "${2:-$build/config.png}")
prepare
[ "$build/bin/config.exe" -ef "$folder/config.exe" ] || cp "$build/bin/config.exe" "$folder/config.exe"
open_config "$folder" "$picture"
