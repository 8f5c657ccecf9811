#!/bin/bash
# Builds the browser build's libraries, static for WebAssembly, from Debian's
# source packages: zlib, FreeType (with that zlib, as Debian builds it, but no
# HarfBuzz, PNG, BZip2 or Brotli: none changes how TrueType glyphs are drawn),
# SDL2 and SDL2_ttf. Emscripten's own downloaded ports are not used.
#
# They are kept in a cache outside the work tree, one folder per set of
# versions (the sources, emcc, this script and its patch), so a fresh clone on
# the same machine only links. Prints the folder (a prefix with include/ and
# lib/) and links OUT (default build-web/deps) to it.
#
#   MELVORIA_WEB_CACHE   the cache (default $XDG_CACHE_HOME/melvoria/web-deps)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-$root/build-web/deps}
. "$here/tools.sh"

web_install_tools >&2
web_enable_sources >&2

sources="zlib freetype libsdl2 libsdl2-ttf"
# (sed reads the whole answer: head would leave emcc a closed pipe, which pipefail makes an error)
key_text="$(emcc --version | sed -n 1p)"
for s in $sources; do
  v=$(web_source_version "$s")
  [ -n "$v" ] || { echo "deps.sh: no source package $s" >&2; exit 1; }
  key_text="$key_text $s=$v"
done
key_text="$key_text $(cat "$here/deps.sh" "$here/freetype-dda.patch" | sha256sum | cut -c1-16)"
key=$(echo "$key_text" | sha256sum | cut -c1-16)
cache=${MELVORIA_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/melvoria/web-deps}
prefix=$cache/$key
# One build at a time: a second waits for the first and then finds its libraries.
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9

if [ ! -f "$prefix/done" ]; then
  echo "Building the browser libraries into $prefix ($key_text)" >&2
  work=$(mktemp -d "${TMPDIR:-/tmp}/melvoria-web-deps.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  # Installed in place (the libraries' own config files hold the path); the
  # mark is written last, so a build cut short is made again.
  stage=$prefix
  rm -rf "$prefix"
  mkdir -p "$prefix"
  jobs=$(nproc)
  (
    cd "$work"
    # Quietly: apt-get source complains that its sandbox user cannot write here.
    apt-get source -qq $sources >/dev/null 2>"$work/source.log" || { cat "$work/source.log"; exit 1; }
    zsrc=$(echo zlib-*/) ftsrc=$(echo freetype-*/) sdlsrc=$(echo libsdl2-2*/) ttfsrc=$(echo libsdl2-ttf-*/)

    # zlib: its own configure (the CMake file wants a folder Debian leaves out).
    (cd "$zsrc" && CFLAGS=-O2 emconfigure ./configure --static --prefix="$stage" &&
      emmake make -j"$jobs" libz.a && emmake make install) >"$work/zlib.log" 2>&1 ||
      { tail -30 "$work/zlib.log"; exit 1; }

    (cd "$ftsrc" && patch -p1 -s <"$here/freetype-dda.patch")
    emcmake cmake -S "$ftsrc" -B ft -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
      -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_FIND_ROOT_PATH="$stage" -DBUILD_SHARED_LIBS=OFF \
      -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_BROTLI=ON \
      -DFT_REQUIRE_ZLIB=ON >"$work/freetype.log" 2>&1 &&
      cmake --build ft -j"$jobs" >>"$work/freetype.log" 2>&1 && cmake --install ft >>"$work/freetype.log" 2>&1 ||
      { tail -30 "$work/freetype.log"; exit 1; }

    # SDL2: only what the device layer uses (video, events, audio, timers,
    # game pads through the browser's gamepad interface).
    emcmake cmake -S "$sdlsrc" -B sdl -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
      -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF \
      -DSDL_HIDAPI=OFF -DSDL_POWER=OFF >"$work/sdl.log" 2>&1 &&
      cmake --build sdl -j"$jobs" >>"$work/sdl.log" 2>&1 && cmake --install sdl >>"$work/sdl.log" 2>&1 ||
      { tail -30 "$work/sdl.log"; exit 1; }

    emcmake cmake -S "$ttfsrc" -B ttf -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
      -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_FIND_ROOT_PATH="$stage" -DBUILD_SHARED_LIBS=OFF \
      -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF >"$work/ttf.log" 2>&1 &&
      cmake --build ttf -j"$jobs" >>"$work/ttf.log" 2>&1 && cmake --install ttf >>"$work/ttf.log" 2>&1 ||
      { tail -30 "$work/ttf.log"; exit 1; }
    grep -q "Found Freetype: $stage" "$work/ttf.log" || { echo "SDL2_ttf did not take our FreeType" >&2; exit 1; }
    echo "$key_text" >"$stage/versions"
  ) >&2
  touch "$prefix/done"
fi

mkdir -p "$(dirname "$out")"
ln -sfn "$prefix" "$out"
echo "$prefix"
