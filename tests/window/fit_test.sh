#!/bin/bash
# The desktop window on a display of WIDTHxHEIGHT (the X server's, given as
# the second argument), with the default 480 x 640 device screen:
# - the window shows the whole device screen: full screen on start when the
#   display is no larger than the screen (a 1024 x 600 netbook), scaled down
#   smoothly, letterboxed; in a window at zoom 1 where that fits (a 720 x 1440
#   portrait phone);
# - out of full screen on the small display, the window cannot be shrunk
#   below the whole screen;
# - a tap on the main menu's close box lands there: the program ends with 0.
set -euo pipefail
binary="$1"
want_display="$2"
source "$(dirname "$0")/common.sh"

display="$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
[ "$display" = "$want_display" ] || fail "the display is $display, not $want_display"
size_is_not() { [ "$(window_size)" != "$1" ]; }
size_is() { [ "$(window_size)" = "$1" ]; }
width="${display%x*}"
height="${display#*x}"

make_records 462 18
scripted "wait 500" "shot $work/menu.bmp"

start
if ((width <= 480 || height <= 640)); then
  expect "$work/menu.bmp" "$display" "full screen on start, the whole screen scaled down"
  echo "$display: full screen, whole screen shown: ok"
  # Out of full screen: a window of the screen scaled to fit the display; it
  # keeps the whole screen however small it is dragged.
  timeout 10 xdotool windowactivate --sync "$wid" || fail "the window does not take the keyboard"
  xdotool key F11
  poll 10 size_is_not "$display" || fail "F11 did not leave full screen"
  # The usable area less a window frame's allowance (16 x 48), as the
  # program reckons it; openbox leaves the whole display usable.
  fw=$((width - 16)) fh=$((height - 48))
  if ((fw * 640 <= fh * 480)); then fitted="${fw}x$((fw * 640 / 480))"; else fitted="$((fh * 480 / 640))x${fh}"; fi
  sleep 1
  expect "$work/menu.bmp" "$fitted" "out of full screen"
  # A size request the window manager carries out, so the refusal below is the
  # program's minimum and not a request that never arrived.
  grown="$((${fitted%x*} + 40))x$((${fitted#*x} + 40))"
  xdotool windowsize "$wid" "${grown%x*}" "${grown#*x}" || fail "xdotool could not resize the window"
  poll 5 size_is "$grown" || fail "the window was not resized to $grown: $(window_size)"
  xdotool windowsize "$wid" 200 150 || fail "xdotool could not resize the window"
  sleep 1
  now="$(window_size)"
  [ "${now%x*}" -ge "${fitted%x*}" ] && [ "${now#*x}" -ge "${fitted#*x}" ] ||
    fail "the $fitted window was shrunk to $now"
  expect "$work/menu.bmp" "" "after trying to shrink the window"
  echo "$display: out of full screen $fitted, not shrunk below it: ok"
else
  expect "$work/menu.bmp" 480x640 "the window at zoom 1"
  echo "$display: a 480 x 640 window, whole screen shown: ok"
fi

# The menu's close box (device 462, 18) stores the records and ends the program.
tap_device 462 18 480 640
wait_end "a tap on the close box"
[ "$rc" = 0 ] || fail "the close box: exit code $rc"
echo "$display: the close box tapped: ok"
