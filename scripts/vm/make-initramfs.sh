#!/usr/bin/env bash
# Builds the test machine's initial file system: busybox, the 9p and virtio modules, our init.
set -euo pipefail
kernel=${1:?kernel version}
out=${2:?output file}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
modules=/lib/modules/$kernel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/modules" "$work/proc" "$work/sys" "$work/dev"
cp /bin/busybox "$work/bin/busybox"
cp "$here/init.sh" "$work/init"
chmod +x "$work/init"

declare -A seen=()
order=()
add() { # module path relative to $modules, dependencies first
  local m=$1
  [ -n "${seen[$m]:-}" ] && return
  seen[$m]=1
  local deps
  deps=$(grep -E "^$m:" "$modules/modules.dep" | cut -d: -f2)
  for d in $deps; do add "$d"; done
  order+=("$m")
}
for name in virtio_pci 9pnet_virtio 9p; do
  path=$(grep -E "/$name\.ko(\.[a-z]+)?:" "$modules/modules.dep" | cut -d: -f1)
  [ -n "$path" ] || { echo "no module $name" >&2; exit 1; }
  add "$path"
done
for m in "${order[@]}"; do
  base=$(basename "$m")
  case "$base" in
    *.ko.xz) xz -dc "$modules/$m" > "$work/modules/${base%.xz}"; base=${base%.xz} ;;
    *.ko.zst) zstd -qdc "$modules/$m" > "$work/modules/${base%.zst}"; base=${base%.zst} ;;
    *) cp "$modules/$m" "$work/modules/$base" ;;
  esac
  echo "$base" >> "$work/modules.order"
done
(cd "$work" && find . | cpio -o -H newc --quiet | gzip -1) > "$out"
