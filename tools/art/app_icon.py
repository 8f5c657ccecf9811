#!/usr/bin/env python3
"""Exports the program's icon as the desktop's application icon.

From the drawing of resources/art/425.svg (make_art.game_icon) this writes
dist/icons/hicolor/scalable/apps/org.example.Melvoria.svg and renders it with
rsvg-convert into dist/icons/hicolor/<N>x<N>/apps/org.example.Melvoria.png for
every size the desktop asks for. Outside the rounded frame the icon is
transparent: the key colour belongs to the game's own 24-bit BMP only.

make_art.py calls this whenever it redraws the icon; run it alone with
    tools/art/app_icon.py [--root DIR]
Needs python3 and rsvg-convert (librsvg2-bin). The results are committed.
"""

import argparse
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

APP_ID = "org.example.Melvoria"
SIZES = (16, 24, 32, 48, 64, 128, 256)


def app_svg(icon_svg):
    """The game's 48 x 48 icon drawing with a title, for the scalable slot."""
    head, sep, rest = icon_svg.partition(">")
    if not head.startswith("<svg") or not sep:
        raise ValueError("the icon drawing does not start with <svg>")
    return f"{head}>\n<title>Melvoria</title>{rest}"


def _write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def export(root, icon_svg):
    hicolor = os.path.join(root, "dist", "icons", "hicolor")
    svg = app_svg(icon_svg)
    _write_if_changed(os.path.join(hicolor, "scalable", "apps", APP_ID + ".svg"), svg.encode("utf-8"))
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "icon.svg")
        with open(src, "w", encoding="utf-8") as f:
            f.write(svg)
        for n in SIZES:
            png = subprocess.run(["rsvg-convert", "-w", str(n), "-h", str(n), "-f", "png", src],
                                 check=True, capture_output=True).stdout
            _write_if_changed(os.path.join(hicolor, f"{n}x{n}", "apps", APP_ID + ".png"), png)


def main():
    import make_art  # noqa: E402  (the drawing lives with the other pictures)

    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    args = ap.parse_args()
    export(os.path.abspath(args.root), make_art.ICON["make"]())


if __name__ == "__main__":
    main()
