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
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
wm=""
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for tool in xwd xdotool openbox wmctrl python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (make deps installs it)" >&2; exit 1; }
done
export MELVORIA_DATA_DIR="$work/data" MELVORIA_RUNTIME_DIR="$work/run" SDL_AUDIODRIVER=dummy
unset MELVORIA_SCRIPT MELVORIA_HEADLESS MELVORIA_DPI MELVORIA_RECORD SDL_VIDEODRIVER
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
# The small screen, at zoom 2 on the 800 x 700 display: a device pixel is two
# window pixels each way.
export MELVORIA_SCREEN=240x320
store="registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria"

fail() {
  echo "FAIL: $*" >&2
  for f in stderr replay.stderr; do
    if [ -s "$work/$f" ]; then
      echo "$f:" >&2
      cat "$work/$f" >&2
    fi
  done
  if [ -s "$work/session.script" ]; then
    echo "the recording:" >&2
    cat "$work/session.script" >&2
  fi
  exit 1
}

poll() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

find_window() {
  wid="$(xdotool search --onlyvisible --pid "$pid" --name '^Melvoria$' 2>/dev/null | head -n 1)"
  [ -n "$wid" ]
}
ended() { test -s "$work/rc"; }

# Stylus actions at device pixels.
tap() { xdotool mousemove --window "$wid" $(($1 * 2)) $(($2 * 2)) click 1; }
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

openbox --sm-disable >/dev/null 2>&1 &
wm=$!
poll 10 wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"

# The starting data: the records a first (scripted) run stores when its menu's
# close box ends it.
printf 'wait 500\ntap 231 8\n' >"$work/first.script"
MELVORIA_SCRIPT="$work/first.script" "$binary" 2>"$work/stderr" || fail "the first run ended with $?"
[ -s "$MELVORIA_DATA_DIR/$store/GameStatus" ] || fail "the first run stored nothing"
# A keys file: S is the down key too; its second line cannot be used.
printf 'down S\njump X\n' >"$MELVORIA_DATA_DIR/keys"
cp -a "$MELVORIA_DATA_DIR" "$work/start"

# ---- the session, in the window, on the real clock ----
(
  MELVORIA_RECORD="$work/session.script" "$binary" 2>"$work/stderr" &
  echo $! >"$work/pid"
  code=0
  wait $! 2>/dev/null || code=$?
  echo "$code" >"$work/rc"
) &
poll 5 test -s "$work/pid" || fail "the program did not start"
pid="$(cat "$work/pid")"
poll 15 find_window || fail "no window appeared"
poll 15 settled || fail "the menu did not settle"
grep -q "keys:2: unknown hard key 'jump'" "$work/stderr" || fail "the keys file's bad line was not reported"
timeout 10 xdotool windowactivate --sync "$wid" || fail "the window does not take the keyboard"
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
poll 30 settled || fail "the screen behind the question did not settle"
cp "$work/b.xwd" "$work/session.xwd"
tap 84 192 # Yes: the game is stored and the program ends
poll 15 ended || fail "the program still runs after Yes"
[ "$(cat "$work/rc")" = 0 ] || fail "the session ended with $(cat "$work/rc")"
pid=""
grep -q '^clock ' "$work/session.script" || fail "the recording has no clock readings"
# The stall: a wait of which half a second or more brought no timer message
# (at 4 ms a message while the game runs).
awk '$1 == "wait" && NF >= 3 && $3 > 0 && $2 > 4 * $3 + 500 { found = 1 } END { exit !found }' \
  "$work/session.script" || fail "the recording shows no stall of the game timer"
grep -Eq '^(move|down) ' "$work/session.script" || fail "the drag was not recorded"
grep -Eq '^key(down)? down$' "$work/session.script" || fail "S did not give the down key"

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
  fail "the replay ended with $?"
[ ! -s "$work/replay.stderr" ] || fail "the replay reported something"
python3 "$here/compare_shot.py" "$work/session.xwd" "$work/replay.bmp" 480x640 >"$work/why" 2>&1 ||
  fail "the replay's screen before Yes is not the session's: $(cat "$work/why")"
diff -r "$MELVORIA_DATA_DIR/registry" "$work/replay-data/registry" >"$work/why" 2>&1 ||
  fail "the replay stored other values than the session: $(cat "$work/why")"
cmp -s "$work/start/$store/GameStatus" "$MELVORIA_DATA_DIR/$store/GameStatus" &&
  fail "the session stored no game"
echo "recorded session replayed: same screen, same stored bytes: ok"
