#!/bin/bash
# The real desktop window, under an X server with a window manager:
# - the first frame is the whole screen at the window's zoom;
# - the keys the window keeps for itself (F11, Alt+Enter, Ctrl+R) never reach
#   the game, pressed or released, whichever key is let go first;
# - a still screen presents no frames, a minimised window none, and the frame
#   that shows it again is whole;
# - the warning shown at start for an unsupported screen ends the program with
#   0 when the window is closed or the program gets SIGTERM.
# What the window shows is compared with screenshots of scripted runs.
set -euo pipefail
binary="$1"
source "$(dirname "$0")/common.sh"

# The window sizes below are for the display the test is registered with.
display="$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
[ "$display" = 800x700 ] || fail "the display is $display, not 800x700"

# ---- the small screen at zoom 2: 480 x 640 on the 800 x 700 display ----
export MELVORIA_SCREEN=240x320
# A first run leaves the stored records (closed by the menu's close box);
# then help off and the hard keys ("Use PDAs Joystick") on.
make_records 231 8
cp -r "$MELVORIA_DATA_DIR" "$work/records"
# The first run's records again: SIGTERM stores the game it ends, which the
# next start would resume.
records_again() {
  rm -rf "$MELVORIA_DATA_DIR"
  cp -r "$work/records" "$MELVORIA_DATA_DIR"
}
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

# ---- frames: none for a still screen, none while minimised ----
start
expect "$work/menu.bmp" 480x640 "the menu"
sleep 1
before="$(frames)"
sleep 2
[ "$(frames)" = "$before" ] || fail "the still menu presented $(($(frames) - before)) frames in 2 s"
# An Easy game: every tick paints the board, whose pixels stay as they are
# once the reels have stopped.
tap_device 120 166 240 320
# A tap that missed leaves the menu, which is still too.
poll 10 not_shows "$work/menu.bmp" || fail "the tap on Easy started no game"
poll 60 still_for_a_second || fail "the board never came to rest"
before="$(frames)"
sleep 2
[ "$(frames)" = "$before" ] || fail "the still board presented $(($(frames) - before)) frames in 2 s"
kill -TERM "$pid"
wait_end "SIGTERM in a game"
# SIGTERM stored the game it ended: an Easy one (mode 1 at byte 48).
python3 - "$MELVORIA_DATA_DIR/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus" <<'EOF' ||
import struct, sys
mode, = struct.unpack_from("<i", open(sys.argv[1], "rb").read(), 48)
sys.exit(0 if mode == 1 else f"the stored game is of mode {mode}")
EOF
  fail "the still board was not an Easy game"
# A Hard game, whose life meter drains: frames while it is seen, none while
# minimised.
records_again
start
expect "$work/menu.bmp" 480x640 "the menu"
tap_device 120 194 240 320
sleep 2
before="$(frames)"
poll 5 frames_past "$before" || fail "the Hard game's draining life presented no frame"
xdotool windowminimize --sync "$wid"
sleep 0.5
before="$(frames)"
sleep 3
[ "$(frames)" = "$before" ] || fail "the minimised window presented $(($(frames) - before)) frames in 3 s"
wmctrl -i -a "$wid"
poll 5 frames_past "$before" || fail "the window shown again presented no frame"
sed -n "$((before + 1))p" "$MELVORIA_FRAME_LOG" >"$work/first-again"
awk '{ split($3, s, "x"); exit !($2 == s[1] * s[2]) }' "$work/first-again" ||
  fail "the first frame after minimising is not whole: $(cat "$work/first-again")"
kill -TERM "$pid"
wait_end "SIGTERM in a game"
echo "frames: none still, none minimised, whole when shown again: ok"

# ---- a renderer instead of the window's surface ----
# SDL_RENDER_DRIVER names one: its frames, whole and in parts, and its whole
# frame drawn twice after a change of size.
records_again
SDL_RENDER_DRIVER=software start
expect "$work/menu.bmp" 480x640 "a renderer's first frame"
timeout 10 xdotool windowactivate --sync "$wid" || fail "the window does not take the keyboard"
xdotool key Down
expect "$work/marked.bmp" 480x640 "a renderer's frame of the Down key's change"
xdotool key F11
expect "$work/marked.bmp" 800x700 "a renderer's full screen"
xdotool key F11
expect "$work/marked.bmp" 480x640 "a renderer back in the window"
tap_device 233 9 240 320
wait_end "the close box with a renderer"
[ "$rc" = 0 ] || fail "the close box with a renderer: exit code $rc"
echo "a renderer's frames: ok"

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
