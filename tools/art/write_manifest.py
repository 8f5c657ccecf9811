#!/usr/bin/env python3
"""Writes resources/manifest, the list of resources the build embeds, from the
picture index (resources/art/index) and the sound parameters."""

import json
import os
import struct

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
    # Key table 3: Ctrl+A (command 40003) and Ctrl+Q (command 1), in the
    # handheld's layout of 8 bytes an entry; 0x80 marks the last entry.
    virtkey, noinvert, control, last = 0x01, 0x02, 0x08, 0x80
    table = struct.pack("<HHHH", virtkey | noinvert | control, 0x41, 40003, 0)
    table += struct.pack("<HHHH", virtkey | noinvert | control | last, 0x51, 1, 0)
    os.makedirs(os.path.join(res, "accelerators"), exist_ok=True)
    with open(os.path.join(res, "accelerators", "3.bin"), "wb") as f:
        f.write(table)
    lines += ["# the key table", "3 ACCELERATOR accelerators/3.bin"]
    with open(os.path.join(res, "manifest"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
