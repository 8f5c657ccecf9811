#!/bin/bash
# `make test-web`: builds the page (tools/web/build.sh) and runs web/web_test.mjs
# in headless Chromium against the desktop program, whose screenshots it must
# equal, and the other web tests; web/cost_test.mjs measures the page's CPU
# beside the desktop program's in its window (under Xvfb). Installs what it
# needs: Debian's emscripten, chromium, Xvfb and xdotool, and the test's node
# packages (web/package-lock.json) into build-web/test.
#
#   MELVORIA_DESKTOP   the desktop program to compare with (default build/melvoria)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${BUILD_WEB:-$root/build-web}
case "$out" in /*) ;; *) out=$root/$out ;; esac
desktop=${MELVORIA_DESKTOP:-$root/build/melvoria}
. "$here/tools.sh"

if [ ! -x "$desktop" ]; then
  echo "test-web: no desktop program at $desktop (make build)" >&2
  exit 1
fi
"$here/build.sh"
web_install_tools xvfb xdotool

mkdir -p "$out/test"
cp "$root/web/package.json" "$root/web/package-lock.json" "$root/web/"*.mjs "$root/tools/web/serve.mjs" "$out/test/"
# Installed again only when the lock file changed.
if ! cmp -s "$root/web/package-lock.json" "$out/test/node_modules/.installed-lock.json" 2>/dev/null; then
  (cd "$out/test" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$root/web/package-lock.json" "$out/test/node_modules/.installed-lock.json"
fi
cd "$out/test"
# Each file runs in a node of its own, one after another: Node 20's
# runner (`node --test`) reads a file's results back from a child process and
# at times fails on them ("Unable to deserialize cloned data").
failed=0
for file in web_test.mjs storage_test.mjs site_test.mjs cost_test.mjs; do
  MELVORIA_SITE="$out" MELVORIA_SOURCE="$root" MELVORIA_DESKTOP="$desktop" CHROMIUM=/usr/bin/chromium \
    FIREFOX=/usr/bin/firefox-esr node "$file" || failed=1
done
exit "$failed"
