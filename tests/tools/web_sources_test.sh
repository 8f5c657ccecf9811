#!/bin/bash
# web_enable_sources (tools/web/tools.sh) adds apt's deb-src entry through a
# fresh temporary file: a link planted at a fixed name in /tmp is not followed
# (as root that overwrote any file); the entry is shown before it is added, and
# nothing is left in the temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
planted=/tmp/melvoria-deb-src.sources  # the fixed name once used
plant=0
cleanup() {
  if [ "$plant" = 1 ] && [ -L "$planted" ]; then rm -f "$planted"; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/bin" "$work/tmp" "$work/sources"
echo precious >"$work/victim"
if [ ! -e "$planted" ] && [ ! -L "$planted" ]; then
  ln -s "$work/victim" "$planted"
  plant=1
fi
# apt knows no source packages yet; apt-get only says it ran.
printf '#!/bin/sh\nexit 0\n' >"$work/bin/apt-cache"
printf '#!/bin/sh\necho "ran apt-get $*"\n' >"$work/bin/apt-get"
chmod +x "$work/bin/apt-cache" "$work/bin/apt-get"

out=$(
  export PATH="$work/bin:$PATH" TMPDIR="$work/tmp" MELVORIA_APT_SOURCES_DIR="$work/sources"
  . "$root/tools/web/tools.sh"
  # As root, but installing only into the test's folder.
  web_as_root() {
    echo "as root: $*"
    if [ "$1" = install ]; then
      case "${*: -1}" in "$work"/*) ;; *) echo "refused: a write outside the test's folder: ${*: -1}"; return 1 ;; esac
    fi
    "$@"
  }
  web_enable_sources
)
echo "$out"

[ "$(cat "$work/victim")" = precious ] || fail "the planted link was followed"
case "$out" in *refused:*) fail "wrote outside its sources folder" ;; esac
list="$work/sources/melvoria-deb-src.sources"
[ -f "$list" ] || fail "no entry in $list"
grep -q '^Types: deb-src$' "$list" || fail "the entry is not a deb-src one"
[ "$(stat -c %a "$list")" = 644 ] || fail "the entry is not readable by apt"
# Shown, then added, then apt told.
shown=$(echo "$out" | grep -n 'Types: deb-src' | head -1 | cut -d: -f1)
added=$(echo "$out" | grep -n '^as root: install' | head -1 | cut -d: -f1)
updated=$(echo "$out" | grep -n '^ran apt-get update' | head -1 | cut -d: -f1)
[ -n "$shown" ] && [ -n "$added" ] && [ -n "$updated" ] || fail "missing steps in the output"
[ "$shown" -lt "$added" ] && [ "$added" -lt "$updated" ] || fail "the entry was not shown before it was added"
[ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"
echo "PASS"
