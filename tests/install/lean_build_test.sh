#!/bin/bash
# `make run` asks for no test package and builds the game alone; configuring
# without GoogleTest works unless the suite is asked for.
# Usage: lean_build_test.sh SOURCE_DIR CMAKE
set -euo pipefail
source "$(dirname "$0")/common.sh"
src="$1"
cmake="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# What a target would install and run, as on a machine where nothing ran yet
# (the dry run lists every package, installed or not). A make above this one
# must not pass down its variables.
dry() { env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -s --no-print-directory -C "$src" "$1" DRY_RUN=1 BUILD=b; }
dry run >"$work/run.txt"
dry test >"$work/test.txt"
sed -n 's/^packages: //p' "$work/run.txt" | tr ' ' '\n' >"$work/run.packages"
sed -n 's/^packages: //p' "$work/test.txt" | tr ' ' '\n' >"$work/test.packages"

for p in cmake g++ pkg-config libsdl2-dev libsdl2-ttf-dev fonts-wine; do
  grep -qx -- "$p" "$work/run.packages" || fail "make run does not install $p"
done
for p in libgtest-dev libgmock-dev libbenchmark-dev xvfb desktop-file-utils appstream lintian debhelper; do
  grep -qx -- "$p" "$work/run.packages" && fail "make run installs the test package $p"
  grep -qx -- "$p" "$work/test.packages" || fail "make test does not install $p"
done
grep -qx "cmake --build b -j [0-9]* --target melvoria" "$work/run.txt" || fail "make run builds more than the game"
grep -q "ctest" "$work/run.txt" && fail "make run runs the tests"

# No GoogleTest and no Google Benchmark, as on a player's machine.
hide=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
"$cmake" -S "$src" -B "$work/lean" "${hide[@]}" >"$work/lean.log" 2>&1 ||
  { cat "$work/lean.log" >&2; fail "configuring without GoogleTest failed"; }
[ ! -e "$work/lean/CTestTestfile.cmake" ] || fail "tests configured without GoogleTest"
"$cmake" --build "$work/lean" --target help >"$work/targets"
grep -qx -- "... melvoria" "$work/targets" || fail "no game target"
grep -q -- "_tests$" "$work/targets" && fail "test targets without GoogleTest"
if "$cmake" -S "$src" -B "$work/asked" "${hide[@]}" -DMELVORIA_TESTS=ON >"$work/asked.log" 2>&1; then
  fail "MELVORIA_TESTS=ON configured without GoogleTest"
fi
grep -q "GTest" "$work/asked.log" || fail "MELVORIA_TESTS=ON without GoogleTest does not name it"
echo "lean build test passed"
