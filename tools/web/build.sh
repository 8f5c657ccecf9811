#!/bin/bash
# `make web`: the game as a static site in build-web/ (index.html, melvoria.js,
# melvoria.wasm, melvoria.data with the fonts, the manifest, icons, poster and
# service worker, and .gz and .br copies). Installs the tools it needs and
# builds the libraries once (tools/web/deps.sh); later builds only compile and
# link what changed.
#
#   BUILD_WEB         the output folder (default build-web)
#   WEB_CMAKE_FLAGS   more options for the web CMake project
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${BUILD_WEB:-$root/build-web}
case "$out" in /*) ;; *) out=$root/$out ;; esac
. "$here/tools.sh"

web_install_tools
mkdir -p "$out"
deps=$("$here/deps.sh" "$out/deps")
emcmake cmake -S "$root/web" -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release -DMELVORIA_WEB_DEPS="$deps" \
  -DMELVORIA_SITE_DIR="$out" ${WEB_CMAKE_FLAGS:-} >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log"; exit 1; }
cmake --build "$out/cmake" -j"$(nproc)"
for f in index.html melvoria.js melvoria.wasm melvoria.data sw.js poster.png; do
  if [ -f "$out/$f.gz" ]; then
    printf '%-14s %9d bytes, %9d gzip -9, %9d brotli\n' "$f" "$(stat -c %s "$out/$f")" \
      "$(stat -c %s "$out/$f.gz")" "$(stat -c %s "$out/$f.br")"
  else
    printf '%-14s %9d bytes\n' "$f" "$(stat -c %s "$out/$f")"
  fi
done
