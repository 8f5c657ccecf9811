#!/bin/bash
# The desktop window ended from outside ends the program as a closed window
# does: the game in progress is stored and the exit code is 0, whether the
# window is destroyed by the X server (xdotool windowclose), its connection is
# cut (a window manager's kill, xdotool windowkill) or the program gets SIGTERM
# or SIGHUP.
set -euo pipefail
binary="$1"
source "$(dirname "$0")/common.sh"

export MELVORIA_SCREEN=240x320
make_records 231 8
cp -r "$MELVORIA_DATA_DIR" "$work/records"
scripted "wait 500" "shot $work/menu.bmp"
store="$MELVORIA_DATA_DIR/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria"

# The stored game's mode (0: none).
stored_mode() {
  python3 -c 'import struct, sys; print(struct.unpack_from("<i", open(sys.argv[1], "rb").read(), 48)[0])' \
    "$store/GameStatus"
}

# A Hard game running in the window, from the first run's records.
start_a_game() {
  rm -rf "$MELVORIA_DATA_DIR"
  cp -r "$work/records" "$MELVORIA_DATA_DIR"
  start
  expect "$work/menu.bmp" 480x640 "the menu"
  tap_device 120 194 240 320
  # A tap that missed leaves the menu on the screen.
  poll 10 not_shows "$work/menu.bmp" || fail "the tap on Hard started no game"
  sleep 1
}

for how in windowclose windowclose windowkill TERM HUP; do
  start_a_game
  if [ "${how#window}" != "$how" ]; then
    xdotool "$how" "$wid"
  else
    kill -"$how" "$pid"
  fi
  wait_end "$how in a game"
  [ "$rc" = 0 ] || fail "$how in a game: exit code $rc"
  [ "$(stored_mode)" = 2 ] || fail "$how in a game: the game was not stored (mode $(stored_mode))"
  grep -q 'X error' "$work/stderr" && fail "$how in a game: $(cat "$work/stderr")"
  echo "$how in a game: stored, exit code 0"
done

# The stored game comes back in the window.
start
sleep 1
kill -TERM "$pid"
wait_end "SIGTERM in the resumed game"
[ "$rc" = 0 ] && [ "$(stored_mode)" = 2 ] || fail "the resumed game: exit code $rc, mode $(stored_mode)"
echo "the game stored at the close comes back: ok"
