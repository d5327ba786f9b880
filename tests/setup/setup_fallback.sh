#!/usr/bin/env bash
# The set-up's install when an i386 index did not come: on a copy of this machine's package
# indexes without the i386 indexes of every suite but the main one, a fresh machine (no package
# installed) is simulated. A library whose newest amd64 version lies in such a suite cannot be
# installed for both architectures (the two must be of one version), yet can from the main suite;
# the set-up's install gets there by its retry. A package that exists nowhere fails in one line.
# Nothing of the machine's own state is touched: apt only simulates, on its own copies.
#   setup_fallback.sh SETUP.sh
set -euo pipefail
setup=${1:?usage: setup_fallback.sh SETUP.sh}
skip() { echo "setup_fallback: skipped: $*"; exit 77; }
command -v apt-get >/dev/null && [ -x /usr/lib/apt/apt-helper ] || skip "no apt on this machine"
suite=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
[ -n "$suite" ] || skip "the distribution names no release"
lists=/var/lib/apt/lists
compgen -G "$lists/*_dists_${suite}_main_binary-i386_Packages*" >/dev/null ||
  skip "no i386 index of $suite here (run scripts/setup.sh first)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
cp "$lists"/*Release "$lists"/*_Packages* "$work/lists/" 2>/dev/null || true
rm -f "$work"/lists/*_dists_"$suite"-*_binary-i386_Packages*
: > "$work/status"
options="-s -o Dir::State::Lists=$work/lists -o Dir::State::status=$work/status -o Dir::Cache=$work/cache"
options+=" -o APT::Architecture=amd64 -o APT::Architectures::=amd64 -o APT::Architectures::=i386"
read -r -a apt_options <<< "$options"

# Name and version of every package of the indexes given whose copies for several architectures
# must be of one version.
same_versions() {
  local file
  for file in "$@"; do /usr/lib/apt/apt-helper cat-file "$file"; echo; done |
    awk '/^Package:/ {p=$2} /^Version:/ {v=$2} /^Multi-Arch: same/ {m=1}
         /^$/ {if (m && p != "") print p, v; p=""; v=""; m=0}'
}
same_versions "$work"/lists/*_dists_"$suite"_main_binary-i386_Packages* | sort -u > "$work/main-i386"
same_versions "$work"/lists/*_dists_"$suite"_main_binary-amd64_Packages* | sort -u > "$work/main-amd64"
same_versions "$work"/lists/*_dists_"$suite"-*_binary-amd64_Packages* | sort -u > "$work/other-amd64"

failures=0
fail() { echo "  FAILED: $*" >&2; failures=$((failures + 1)); }

# A library newer for amd64 in another suite than in the main one, where it is there for both.
library=
# (No process substitution: the emulated machine has no /dev/fd.)
join "$work/other-amd64" "$work/main-i386" | awk '$2 != $3 {print $1, $2}' > "$work/candidates"
while read -r name version; do
  main=$(awk -v p="$name" '$1 == p {print $2}' "$work/main-i386")
  [ -n "$main" ] && grep -qx "$name $main" "$work/main-amd64" || continue
  dpkg --compare-versions "$version" gt "$main" || continue
  apt-get "${apt_options[@]}" -q install --no-install-recommends "$name" "$name:i386" >/dev/null 2>&1 && continue
  apt-get "${apt_options[@]}" -q install --no-install-recommends -t "$suite" "$name" "$name:i386" \
    >/dev/null 2>&1 || continue
  library=$name
  break
done < "$work/candidates"

export SETUP_APT_OPTIONS=$options
# shellcheck source=/dev/null
source "$setup"
set +e

if [ -n "$library" ]; then
  echo "setup_fallback: $library cannot be installed for amd64 and i386 from these indexes, but can from $suite"
  install_packages "$library" "$library:i386" >/dev/null 2>"$work/err"
  rc=$?
  [ "$rc" = 0 ] || fail "the install of $library for both architectures failed: $(cat "$work/err")"
  grep -qx "setup: trying the install again from the main suite $suite" "$work/err" ||
    fail "no retry from the main suite was said: $(cat "$work/err")"
else
  echo "setup_fallback: no library of these indexes is newer in a suite without its i386 index;" \
       "only the failure is checked"
fi

missing=no-such-package-of-the-set-up
install_packages "$missing" >/dev/null 2>"$work/err"
rc=$?
[ "$rc" != 0 ] || fail "the install of a package that exists nowhere succeeded"
last=$(tail -n 1 "$work/err")
[ "$last" = "setup: could not install $missing: Unable to locate package $missing" ] ||
  fail "the failure said: $last"

if [ "$failures" -gt 0 ]; then
  echo "setup_fallback: $failures failed checks" >&2
  exit 1
fi
echo "setup_fallback: passed"
