#!/bin/sh
# Regenerates every picture, the icon, every sound and the manifest from their
# sources (tools/art, tools/sound, resources/sound-params).  The results are
# committed; a player's build needs none of this.
# Needs: python3, rsvg-convert (librsvg2-bin), fontconfig and the fonts named
# in resources/README.md.
set -e
export PYTHONDONTWRITEBYTECODE=1
cd "$(dirname "$0")/.."
python3 tools/art/make_art.py
python3 tools/sound/make_sounds.py
python3 tools/art/write_manifest.py
