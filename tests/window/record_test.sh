#!/bin/bash
# A session played in the real window on the real clock, recorded with
# MELVORIA_RECORD: the Help page left open past its 10 s timer, a game started,
# a reel dragged, Spin All, the program stalled for a second (its timers fall
# behind and merge), the exit box answered Yes. Replayed headless from a copy
# of the data folder as it was at the start, the recording gives the screen the
# window showed before that Yes and byte for byte the stored values the
# session left: the replay goes by the timer messages the session counted, not
# by its milliseconds, which a stall parts from them.
set -euo pipefail
binary="$1"
source "$(dirname "$0")/common.sh"

# The small screen at zoom 2 on the 800 x 700 display: a device pixel is two
# window pixels each way.
display="$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
[ "$display" = 800x700 ] || fail "the display is $display, not 800x700"
export MELVORIA_SCREEN=240x320
store="registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria"

# On failure, also what the replay said and the recording.
failed() {
  if [ -s "$work/replay.stderr" ]; then
    echo "the replay's stderr:" >&2
    cat "$work/replay.stderr" >&2
  fi
  if [ -s "$work/session.script" ]; then
    echo "the recording:" >&2
    cat "$work/session.script" >&2
  fi
  fail "$@"
}

# Stylus actions at device pixels.
tap() { tap_device "$1" "$2" 240 320; }
press() { xdotool mousemove --window "$wid" $(($1 * 2)) $(($2 * 2)) mousedown 1; }
drag_to() { xdotool mousemove --window "$wid" $(($1 * 2)) $(($2 * 2)); }
release() { xdotool mouseup 1; }

# The window shows the same picture twice, half a second apart.
settled() {
  xwd -id "$wid" -silent >"$work/a.xwd" 2>/dev/null || return 1
  sleep 0.5
  xwd -id "$wid" -silent >"$work/b.xwd" 2>/dev/null || return 1
  cmp -s "$work/a.xwd" "$work/b.xwd"
}

# The starting data: the records a first (scripted) run stores when its menu's
# close box ends it.
scripted "wait 500" "tap 231 8"
[ -s "$MELVORIA_DATA_DIR/$store/GameStatus" ] || fail "the first run stored nothing"
# A keys file: S is the down key too; its second line cannot be used.
printf 'down S\njump X\n' >"$MELVORIA_DATA_DIR/keys"
cp -a "$MELVORIA_DATA_DIR" "$work/start"

# ---- the session, in the window, on the real clock ----
export MELVORIA_RECORD="$work/session.script"
start
unset MELVORIA_RECORD
poll 15 settled || failed "the menu did not settle"
grep -q "keys:2: unknown hard key 'jump'" "$work/stderr" || failed "the keys file's bad line was not reported"
timeout 10 xdotool windowactivate --sync "$wid" || failed "the window does not take the keyboard"
xdotool key s # the down key (the hard keys are off: the menu stays as it is)
tap 120 168 # Easy: the Help page first
sleep 11    # past its 10 s timer: the demonstration's next step
tap 203 256 # its OK: the game starts
sleep 3
press 78 150 # a drag down the second reel
drag_to 78 160
sleep 0.2
drag_to 78 185
release
sleep 2
tap 190 290 # Spin All
sleep 0.5
kill -STOP "$pid" # a stall: the game timer falls a second behind
sleep 1
kill -CONT "$pid"
sleep 3
tap 197 21 # the exit box asks
# Written as it goes: a crash now would keep the session so far.
poll 5 grep -Eq '^(tap|down) 197 21$' "$work/session.script" || failed "the recording is not written as the session goes"
poll 30 settled || failed "the screen behind the question did not settle"
cp "$work/b.xwd" "$work/session.xwd"
tap 84 192 # Yes: the game is stored and the program ends
wait_end "Yes"
[ "$rc" = 0 ] || failed "the session ended with $rc"
grep -q '^clock ' "$work/session.script" || failed "the recording has no clock readings"
# The stall: a wait of which half a second or more brought no timer message
# (at 4 ms a message while the game runs).
awk '$1 == "wait" && NF >= 3 && $3 > 0 && $2 > 4 * $3 + 500 { found = 1 } END { exit !found }' \
  "$work/session.script" || failed "the recording shows no stall of the game timer"
grep -Eq '^(move|down) ' "$work/session.script" || failed "the drag was not recorded"
grep -Eq '^key(down)? down$' "$work/session.script" || failed "S did not give the down key"

# ---- the replay, headless, on virtual time, from the starting data ----
# The screen is taken just before the last tap (the Yes).
python3 - "$work/session.script" "$work/replay.script" "$work/replay.bmp" <<'EOF'
import re, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
last = max(i for i, l in enumerate(lines) if re.match(r"(tap|down) ", l))
lines.insert(last, "shot " + sys.argv[3])
open(sys.argv[2], "w", encoding="utf-8").write("\n".join(lines) + "\n")
EOF
cp -a "$work/start" "$work/replay-data"
MELVORIA_DATA_DIR="$work/replay-data" MELVORIA_SCRIPT="$work/replay.script" "$binary" 2>"$work/replay.stderr" ||
  failed "the replay ended with $?"
[ ! -s "$work/replay.stderr" ] || failed "the replay reported something"
python3 "$here/compare_shot.py" "$work/session.xwd" "$work/replay.bmp" 480x640 >"$work/why" 2>&1 ||
  failed "the replay's screen before Yes is not the session's: $(cat "$work/why")"
diff -r "$MELVORIA_DATA_DIR/registry" "$work/replay-data/registry" >"$work/why" 2>&1 ||
  failed "the replay stored other values than the session: $(cat "$work/why")"
cmp -s "$work/start/$store/GameStatus" "$MELVORIA_DATA_DIR/$store/GameStatus" &&
  failed "the session stored no game"
echo "recorded session replayed: same screen, same stored bytes: ok"
