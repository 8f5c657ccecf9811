# Shared by the tests of the installed tree and of the Debian package.
APP_ID=org.example.Melvoria
ICON_SIZES="16 24 32 48 64 128 256"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files an install puts under its prefix, the program in BINDIR; the Debian
# tools may compress the manual and the README.
installed_files() {
  local bindir="$1" n
  echo "$bindir/melvoria"
  echo "share/applications/$APP_ID.desktop"
  echo "share/metainfo/$APP_ID.metainfo.xml"
  for n in $ICON_SIZES; do echo "share/icons/hicolor/${n}x$n/apps/$APP_ID.png"; done
  echo "share/icons/hicolor/scalable/apps/$APP_ID.svg"
  echo "share/man/man6/melvoria.6"
  echo "share/doc/melvoria/README.md"
  echo "share/doc/melvoria/LICENSE"
}

# The installed path of FILE under PREFIX, compressed or not; fails when absent.
installed() {
  local path="$1/$2"
  if [ -f "$path" ]; then echo "$path"; elif [ -f "$path.gz" ]; then echo "$path.gz"; else fail "not installed: $2"; fi
}

# Checks everything installed under PREFIX (a folder), the program in BINDIR.
check_tree() {
  local prefix="$1" bindir="$2" f n size
  while read -r f; do installed "$prefix" "$f" >/dev/null; done < <(installed_files "$bindir")
  [ -x "$prefix/$bindir/melvoria" ] || fail "$bindir/melvoria is not executable"

  desktop-file-validate "$prefix/share/applications/$APP_ID.desktop" || fail "desktop-file-validate"
  grep -qx "Icon=$APP_ID" "$prefix/share/applications/$APP_ID.desktop" || fail "the desktop entry's icon is not $APP_ID"
  grep -qx "Exec=melvoria" "$prefix/share/applications/$APP_ID.desktop" || fail "the desktop entry does not start melvoria"
  appstreamcli validate --no-net "$prefix/share/metainfo/$APP_ID.metainfo.xml" || fail "appstreamcli validate"
  # The tree as a whole: the metainfo's launchable names the installed desktop entry.
  appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"

  # As lintian reads manual pages: any message from groff is a fault.
  local page warnings
  page="$(installed "$prefix" share/man/man6/melvoria.6)"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "the manual page warns: $warnings"
  [[ "$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)" == *MELVORIA_SCRIPT=FILE* ]] ||
    fail "the manual page does not render"

  for n in $ICON_SIZES; do
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    size="$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${n}x$n/apps/$APP_ID.png" |
      awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')"
    [ "$size" = "${n}x$n" ] || fail "the ${n}x$n icon is $size"
  done
  return 0
}

# Runs BINARY on a scripted Easy game in WORK: it starts a game, plays, leaves it
# with "Yes" (which stores it) and must exit 0 with a screenshot and the stored game.
run_scripted_game() {
  local binary="$1" work="$2" rc=0
  mkdir -p "$work"
  rm -rf "$work/data"  # what is stored afterwards was stored by this run
  cat >"$work/game.script" <<SCRIPT
wait 500
tap 240 333
wait 500
tap 405 513
wait 3000
shot $work/game.bmp
tap 395 40
wait 100
key enter
SCRIPT
  env -u MELVORIA_HEADLESS -u MELVORIA_SCREEN -u MELVORIA_DPI \
    MELVORIA_SCRIPT="$work/game.script" MELVORIA_DATA_DIR="$work/data" MELVORIA_RUNTIME_DIR="$work/run" \
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$binary" >"$work/stdout" 2>"$work/stderr" || rc=$?
  cat "$work/stderr" >&2
  [ "$rc" = 0 ] || fail "$binary exited with $rc"
  [ "$(head -c 2 "$work/game.bmp" 2>/dev/null)" = BM ] || fail "no screenshot from $binary"
  local stored="$work/data/registry/HKEY_CURRENT_USER/Software/handsetdev/Dunmorrow/Melvoria/GameStatus"
  # The exit box's Yes stored an Easy game (mode 1 at byte 48).
  python3 - "$stored" <<'PY' || fail "the game was not stored in MELVORIA_DATA_DIR"
import struct, sys
try:
    record = open(sys.argv[1], "rb").read()
except OSError as e:
    sys.exit(f"no stored record: {e}")
mode, = struct.unpack_from("<i", record, 48) if len(record) >= 52 else (None,)
sys.exit(0 if mode == 1 else f"stored record of {len(record)} bytes, game mode {mode}")
PY
}
