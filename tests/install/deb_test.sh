#!/bin/bash
# The Debian package that `make deb` built: lintian finds no error, it holds
# every file of the install (the program in /usr/games), depends on the
# libraries and the font, and its program plays.
# Usage: deb_test.sh DEB_BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
out="$1"
deb="$(ls "$out"/melvoria_*.deb)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

changes="$(ls "$out"/melvoria_*.changes)"
echo "== lintian $changes"
lintian --fail-on error --display-info "$changes" || fail "lintian reports errors"

echo "== dpkg-deb -c $deb"
dpkg-deb -c "$deb" | tee "$work/contents"
while read -r f; do
  grep -Eq " \./usr/$f(\.gz)?$" "$work/contents" || fail "the package lacks /usr/$f"
done < <(installed_files games)

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for p in libsdl2-2.0-0 libsdl2-ttf-2.0-0 fonts-wine; do
  [[ ", $depends," =~ ,\ $p[\ ,] ]] || fail "the package does not depend on $p"
done

dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr" games

# One version everywhere: the package's, the newest AppStream release's, the manual's.
version="$(dpkg-deb -f "$deb" Version)"
release="$(grep -m1 -o '<release version="[^"]*"' "$work/root/usr/share/metainfo/$APP_ID.metainfo.xml")"
[ "$release" = "<release version=\"$version\"" ] || fail "the newest AppStream release is not $version: $release"
title="$(zcat "$work/root/usr/share/man/man6/melvoria.6.gz" | grep -m1 "^\.TH ")"
[[ "$title" == *"\"Melvoria $version\""* ]] || fail "the manual is not of version $version: $title"

run_scripted_game "$work/root/usr/games/melvoria" "$work/run"
echo "package test passed"
