#!/bin/bash
# The real desktop window, under an X server with a window manager:
# - the first frame is the whole screen at the window's zoom;
# - the keys the window keeps for itself (F11, Alt+Enter, Ctrl+R) never reach
#   the game, pressed or released, whichever key is let go first;
# - the warning shown at start for an unsupported screen ends the program with
#   0 when the window is closed or the program gets SIGTERM.
# What the window shows is compared with screenshots of scripted runs.
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

for tool in xwd xwininfo xdotool wmctrl openbox python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (make deps installs it)" >&2; exit 1; }
done
export MELVORIA_DATA_DIR="$work/data" MELVORIA_RUNTIME_DIR="$work/run" SDL_AUDIODRIVER=dummy
unset MELVORIA_SCRIPT MELVORIA_HEADLESS MELVORIA_SCREEN MELVORIA_DPI SDL_VIDEODRIVER
# No session bus: without an address, the bus library tries to start one for
# the display, and leaks on the way (which a sanitizer build reports at exit).
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"

fail() {
  echo "FAIL: $*" >&2
  if [ -s "$work/stderr" ]; then
    echo "the program's stderr:" >&2
    cat "$work/stderr" >&2
  fi
  exit 1
}

# Runs the rest of the line every tenth of a second until it succeeds; fails
# once the deadline (seconds) has passed.
poll() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# A scripted run, one script line an argument.
scripted() {
  printf '%s\n' "$@" >"$work/script"
  MELVORIA_SCRIPT="$work/script" "$binary" 2>"$work/stderr" || fail "the scripted run ended with $?"
}

# Starts the program in its window; its exit code lands in $work/rc.
start() {
  rm -f "$work/pid" "$work/rc"
  (
    "$binary" 2>"$work/stderr" &
    echo $! >"$work/pid"
    code=0
    wait $! 2>/dev/null || code=$?
    echo "$code" >"$work/rc.new"
    mv "$work/rc.new" "$work/rc"
  ) &
  poll 5 test -s "$work/pid" || fail "the program did not start"
  pid="$(cat "$work/pid")"
  poll 15 find_window || fail "no window appeared"
}

find_window() {
  wid="$(xdotool search --onlyvisible --pid "$pid" --name '^Melvoria$' 2>/dev/null | head -n 1)"
  [ -n "$wid" ]
}

# Waits for the program to end; its exit code in $rc.
ended() { test -s "$work/rc"; }
wait_end() {
  poll 10 ended || fail "$1: the program still runs"
  rc="$(cat "$work/rc")"
  pid=""
}

# The window shows the screenshot (and is WIDTHxHEIGHT).
shows() {
  xwd -id "$wid" -silent >"$work/window.xwd" 2>/dev/null &&
    python3 "$here/compare_shot.py" "$work/window.xwd" "$1" "$2" >"$work/why" 2>&1
}
expect() {
  poll 15 shows "$1" "$2" || fail "$3: $(cat "$work/why")"
}

# The window sizes below are for the display the test is registered with.
display="$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
[ "$display" = 800x700 ] || fail "the display is $display, not 800x700"

openbox --sm-disable >/dev/null 2>&1 &
wm=$!
poll 10 wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"

# ---- the small screen at zoom 2: 480 x 640 on the 800 x 700 display ----
export MELVORIA_SCREEN=240x320
# A first run leaves the stored records (closed by the menu's close box);
# then help off and the hard keys ("Use PDAs Joystick") on.
scripted "wait 500" "tap 231 8"
python3 - "$MELVORIA_DATA_DIR/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus" <<'EOF'
import sys
path = sys.argv[1]
record = bytearray(open(path, "rb").read())
record[44] = 0  # helpEnabled
record[45] = 1  # joystickControl
open(path, "wb").write(record)
EOF
scripted "wait 500" "shot $work/menu.bmp" "key down" "wait 100" "shot $work/marked.bmp" \
  "rotate" "wait 100" "shot $work/turned.bmp" "rotate" "wait 100" "shot $work/back.bmp"

start
expect "$work/menu.bmp" 480x640 "the first frame"
timeout 10 xdotool windowactivate --sync "$wid" || fail "the window does not take the keyboard"
xdotool key Down
expect "$work/marked.bmp" 480x640 "the Down key marks the first mode"
# Enter on the marked mode would start a game.
xdotool keydown alt keydown Return keyup Return keyup alt
expect "$work/marked.bmp" 800x700 "Alt+Enter: full screen"
xdotool keydown alt keydown Return keyup alt keyup Return
expect "$work/marked.bmp" 480x640 "Alt+Enter, Alt let go first: back in the window"
xdotool key F11
expect "$work/marked.bmp" 800x700 "F11: full screen"
xdotool key F11
expect "$work/marked.bmp" 480x640 "F11: back in the window"
xdotool keydown ctrl keydown r keyup r keyup ctrl
expect "$work/turned.bmp" 640x480 "Ctrl+R turns the device"
xdotool keydown ctrl keydown r keyup ctrl keyup r
expect "$work/back.bmp" 480x640 "Ctrl+R, Ctrl let go first: turned back"
# The menu's close box stores the records and ends the program; a game
# started by a key that leaked through would be on the screen instead.
xdotool mousemove --window "$wid" 466 12 click 1
wait_end "the close box"
[ "$rc" = 0 ] || fail "the close box: exit code $rc"
python3 - "$MELVORIA_DATA_DIR/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus" <<'EOF' ||
import struct, sys
mode, = struct.unpack_from("<i", open(sys.argv[1], "rb").read(), 48)
sys.exit(f"a game of mode {mode} was started" if mode else 0)
EOF
  fail "keys the window keeps reached the game"
echo "first frame, window keys: ok"

# ---- the warning for a screen the game does not support ----
export MELVORIA_SCREEN=320x240
scripted "wait 100" "shot $work/warning.bmp"
start
expect "$work/warning.bmp" 640x480 "the warning"
wmctrl -i -c "$wid"
wait_end "the warning's window closed"
[ "$rc" = 0 ] || fail "the warning's window closed: exit code $rc"
start
expect "$work/warning.bmp" 640x480 "the warning"
kill -TERM "$pid"
wait_end "SIGTERM at the warning"
[ "$rc" = 0 ] || fail "SIGTERM at the warning: exit code $rc"
echo "warning closed by the window and by SIGTERM: ok"
