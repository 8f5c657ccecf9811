#!/usr/bin/env python3
"""Writes resources/manifest, the list of resources the build embeds, from the
picture index (resources/art/index) and the sound parameters."""

import json
import os

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def main():
    res = os.path.join(ROOT, "resources")
    bitmaps = []
    with open(os.path.join(res, "art", "index")) as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            small, large = line.split()[:2]
            if large == "icon":
                continue
            bitmaps.append(int(small))
            if large != "-":
                bitmaps.append(int(large))
    with open(os.path.join(res, "sound-params"), encoding="utf-8") as f:
        sounds = sorted(s["resource"] for s in json.load(f)["sounds"])
    lines = ["# number TYPE path (relative to resources/); written by tools/art/write_manifest.py",
             "# pictures"]
    lines += [f"{n} BITMAP bitmaps/{n}.bmp" for n in sorted(bitmaps)]
    lines += ["# the program's icon", "425 ICON icons/425.bmp", "# sounds"]
    lines += [f"{n} WAVE sounds/{n}.wav" for n in sounds]
    with open(os.path.join(res, "manifest"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
