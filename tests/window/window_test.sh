#!/bin/bash
# The real desktop window: starts the program under an X server, takes a
# screenshot of the whole display and checks that the device's screen is shown
# at a whole zoom, showing the main menu.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export MELVORIA_DATA_DIR="$work/data" MELVORIA_RUNTIME_DIR="$work/run"
unset MELVORIA_SCRIPT MELVORIA_HEADLESS SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy
"$binary" 2>"$work/stderr" &
pid=$!
# Wait for the window to map and paint.
for _ in $(seq 1 50); do
  if xwd -root -silent >"$work/shot.xwd" 2>/dev/null && python3 "$(dirname "$0")/check_shot.py" "$work/shot.xwd" >/dev/null 2>&1; then
    break
  fi
  sleep 0.2
done
python3 "$(dirname "$0")/check_shot.py" "$work/shot.xwd"
kill -0 "$pid"  # still running
