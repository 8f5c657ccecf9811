#!/usr/bin/env python3
"""Finishes the site after the program is linked (web/CMakeLists.txt):
the manifest, its icons, the menu's poster and robots.txt copied in; the
service worker written with the version of the files it keeps (a hash of
them) and their list; and a .gz (gzip -9) and .br (brotli) beside each file
that compresses, for servers that send them as they are.

Usage: finish_site.py SITE_DIR SOURCE_ROOT"""
import hashlib
import json
import os
import subprocess
import sys

site, root = sys.argv[1:3]

# Site name: source, relative to SOURCE_ROOT.
COPIED = {
    "manifest.webmanifest": "web/manifest.webmanifest",
    "robots.txt": "web/robots.txt",
    # The menu as the program draws it (tools/screenshots): shown until the
    # program's first frame, and the page's largest paint.
    "poster.png": "docs/screenshots/menu.png",
    "icons/48.png": "dist/icons/hicolor/48x48/apps/org.example.Melvoria.png",
    "icons/128.png": "dist/icons/hicolor/128x128/apps/org.example.Melvoria.png",
    "icons/256.png": "dist/icons/hicolor/256x256/apps/org.example.Melvoria.png",
    "icons/scalable.svg": "dist/icons/hicolor/scalable/apps/org.example.Melvoria.svg",
}
# What the service worker keeps: all the page needs to play.
KEPT = ["index.html", "melvoria.js", "melvoria.wasm", "melvoria.data", "manifest.webmanifest",
        "poster.png", "icons/48.png", "icons/128.png", "icons/256.png", "icons/scalable.svg"]
# PNG is compressed already.
COMPRESSED_TOO = [name for name in KEPT + ["sw.js", "robots.txt"] if not name.endswith(".png")]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    """Written only when it changes (its time then says when it last did),
    through a new file renamed into place."""
    if os.path.exists(path) and read(path) == data:
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".new", "wb") as f:
        f.write(data)
    os.replace(path + ".new", path)


for name, source in COPIED.items():
    write(os.path.join(site, name), read(os.path.join(root, source)))

version = hashlib.sha256()
for name in KEPT:
    data = read(os.path.join(site, name))
    version.update(b"%s %d\n" % (name.encode(), len(data)))
    version.update(data)
worker = read(os.path.join(root, "web/sw.js")).decode()
worker = worker.replace("@VERSION@", version.hexdigest()[:16]).replace("@FILES@", json.dumps(KEPT))
write(os.path.join(site, "sw.js"), worker.encode())

for name in COMPRESSED_TOO:
    path = os.path.join(site, name)
    for suffix, command in ((".gz", ["gzip", "-9", "-n", "-c", path]),
                            (".br", ["brotli", "-q", "11", "-w", "24", "-c", path])):
        packed = path + suffix
        if os.path.exists(packed) and os.path.getmtime(packed) >= os.path.getmtime(path):
            continue
        with open(packed + ".new", "wb") as out:
            subprocess.run(command, stdout=out, check=True)
        os.replace(packed + ".new", packed)
