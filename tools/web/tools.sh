# Sourced by the web scripts: the tools of the browser build, installed from
# Debian when missing (through sudo when not root).

export NODE_PATH=/usr/share/nodejs  # node does not search Debian's module folder; emcc needs acorn from it
WEB_PACKAGES="emscripten chromium firefox-esr brotli fonts-wine dpkg-dev xz-utils patch python3 nodejs npm"

web_as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs WEB_PACKAGES and any packages named.
web_install_tools() {
  local missing="" p
  for p in $WEB_PACKAGES "$@"; do
    # Node.js may come from elsewhere with npm inside it.
    if [ "$p" = nodejs ] && command -v node >/dev/null; then continue; fi
    if [ "$p" = npm ] && command -v npm >/dev/null; then continue; fi
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    echo "Installing:$missing"
    web_as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive web_as_root apt-get install -y -qq --no-install-recommends $missing
  fi
}

# Debian's source packages: a deb-src entry for the release this machine runs.
# The entry is written to a fresh temporary file (a fixed name in /tmp could be
# a link planted by someone else, followed as root) and shown before it is added.
# MELVORIA_APT_SOURCES_DIR: another folder for it (tests).
web_enable_sources() {
  local list="${MELVORIA_APT_SOURCES_DIR:-/etc/apt/sources.list.d}/melvoria-deb-src.sources"
  if apt-cache showsrc libsdl2 2>/dev/null | grep -q '^Version:'; then return; fi
  if [ ! -f "$list" ]; then
    local suite entry status
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    entry=$(mktemp) || return 1
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$suite" "$suite" > "$entry"
    echo "Adding to apt's sources, as $list:"
    sed 's/^/    /' "$entry"
    status=0
    web_as_root install -m 644 "$entry" "$list" || status=$?
    rm -f "$entry"
    [ "$status" = 0 ] || return "$status"
  fi
  web_as_root apt-get update -qq
}

# The version apt-get source would fetch.
web_source_version() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}
