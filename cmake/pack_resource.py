#!/usr/bin/env python3
"""Packs one resource for a PACKED build (cmake/resources.cmake): its size as
4 bytes little-endian, then the bytes compressed by zlib at level 9."""
import os
import struct
import sys
import zlib

source, target = sys.argv[1:3]
os.makedirs(os.path.dirname(target), exist_ok=True)
with open(source, "rb") as f:
    data = f.read()
with open(target + ".new", "wb") as f:
    f.write(struct.pack("<I", len(data)) + zlib.compress(data, 9))
# Renamed into place: a build cut short leaves no half file under the name.
os.replace(target + ".new", target)
