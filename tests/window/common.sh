# Shared by the real-window tests: an X server is there ($DISPLAY), this file
# is sourced with the program's path in $binary. Starts the window manager,
# and gives helpers to run the program scripted or in its window, to wait for
# what it shows and for its end, and to count the frames it presents.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
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
unset MELVORIA_SCRIPT MELVORIA_HEADLESS MELVORIA_SCREEN MELVORIA_DPI SDL_VIDEODRIVER SDL_RENDER_DRIVER
# Each frame the program presents is a line there.
export MELVORIA_FRAME_LOG="$work/frames"
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

# The stored records of a first run (closed by the menu's close box at the
# device point given), then help off and the hard keys ("Use PDAs Joystick") on.
make_records() {
  scripted "wait 500" "tap $1 $2"
  python3 - "$MELVORIA_DATA_DIR/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus" <<'PY'
import sys
path = sys.argv[1]
record = bytearray(open(path, "rb").read())
record[44] = 0  # helpEnabled
record[45] = 1  # joystickControl
open(path, "wb").write(record)
PY
}

# Starts the program in its window; its exit code lands in $work/rc.
start() {
  rm -f "$work/pid" "$work/rc" "$MELVORIA_FRAME_LOG"
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
not_shows() { ! shows "$1" "${2:-}"; }

# Frames presented so far; more than N so far.
frames() { if [ -f "$MELVORIA_FRAME_LOG" ]; then wc -l <"$MELVORIA_FRAME_LOG"; else echo 0; fi; }
frames_past() { [ "$(frames)" -gt "$1" ]; }
# A second passes without a frame.
still_for_a_second() {
  local before
  before="$(frames)"
  sleep 1
  [ "$(frames)" = "$before" ]
}

# The window's size, WIDTHxHEIGHT.
window_size() { xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }

# A click at a device point of a WIDTH x HEIGHT screen, wherever the window
# shows it (full size, zoomed, or scaled down).
tap_device() {
  local at
  at="$(xwininfo -id "$wid" | awk -v x="$1" -v y="$2" -v sw="$3" -v sh="$4" '
    /Width:/ { w = $2 } /Height:/ { h = $2 }
    END {
      z = int(w / sw) < int(h / sh) ? int(w / sw) : int(h / sh)
      if (z >= 1) { dw = sw * z; dh = sh * z }
      else if (w * sh <= h * sw) { dw = w; dh = int(sh * w / sw) }
      else { dh = h; dw = int(sw * h / sh) }
      printf "%d %d", int((w - dw) / 2 + (x + 0.5) * dw / sw), int((h - dh) / 2 + (y + 0.5) * dh / sh)
    }')"
  # shellcheck disable=SC2086
  xdotool mousemove --window "$wid" $at click 1
}

openbox --sm-disable >/dev/null 2>&1 &
wm=$!
poll 10 wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"
