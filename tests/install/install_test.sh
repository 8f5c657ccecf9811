#!/bin/bash
# `cmake --install` of a build into a staging folder (DESTDIR) holds every file
# of the install, valid to the desktop's tools, and the installed program plays.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/melvoria >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }
prefix="$work/stage/opt/melvoria"
check_tree "$prefix" bin
# Nothing outside the prefix, nothing beyond the list.
diff <(cd "$work/stage" && find . -type f | sed 's|^\./opt/melvoria/||' | sort) <(installed_files bin | sort) ||
  fail "the install holds other files than these"
run_scripted_game "$prefix/bin/melvoria" "$work/run"
# The screenshots the AppStream file names are the ones tools/screenshots makes.
src="$(cd "$(dirname "$0")/../.." && pwd)"
for shot in $(grep -o 'screenshots/[a-z-]*\.png' "$prefix/share/metainfo/org.example.Melvoria.metainfo.xml"); do
  [ -f "$src/docs/$shot" ] || fail "the AppStream file names $shot, which docs/ does not hold"
  grep -qF "(docs/$shot)" "$src/README.md" || fail "the README does not show $shot"
done
echo "install test passed"
