"""Small image helpers for the art tools: PNG in and out, 24-bit BMP in and out,
and rasterising SVG through rsvg-convert.  Standard library only."""

import os
import struct
import subprocess
import tempfile
import zlib


class Image:
    """RGBA pixels, row-major, top row first; each pixel a 4-tuple of 0..255."""

    def __init__(self, width, height, pixels=None):
        self.width = width
        self.height = height
        self.pixels = pixels if pixels is not None else [(0, 0, 0, 0)] * (width * height)

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def put(self, x, y, p):
        self.pixels[y * self.width + x] = p


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    """Decodes an 8-bit, non-interlaced RGBA or RGB PNG (what rsvg-convert writes)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos = 8
    idat = b""
    width = height = ctype = None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                raise ValueError("unsupported PNG layout")
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    out = bytearray()
    prev = bytearray(stride)
    i = 0
    for _ in range(height):
        f = raw[i]
        line = bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if f == 1:
                line[x] = (line[x] + a) & 255
            elif f == 2:
                line[x] = (line[x] + b) & 255
            elif f == 3:
                line[x] = (line[x] + ((a + b) >> 1)) & 255
            elif f == 4:
                line[x] = (line[x] + _paeth(a, b, c)) & 255
        out += line
        prev = line
    px = []
    for k in range(0, len(out), bpp):
        if bpp == 4:
            px.append((out[k], out[k + 1], out[k + 2], out[k + 3]))
        else:
            px.append((out[k], out[k + 1], out[k + 2], 255))
    return Image(width, height, px)


def write_png(img, path):
    raw = bytearray()
    for y in range(img.height):
        raw.append(0)
        for x in range(img.width):
            r, g, b, _ = img.get(x, y)
            raw += bytes((r, g, b))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", img.width, img.height, 8, 2, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def bmp_bytes(img):
    """24-bit BI_RGB bottom-up BMP with a 40-byte BITMAPINFOHEADER; alpha is ignored."""
    row = (img.width * 3 + 3) & ~3
    size = 54 + row * img.height
    out = bytearray(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
    out += struct.pack("<IiiHHIIiiII", 40, img.width, img.height, 1, 24, 0, row * img.height, 2835, 2835, 0, 0)
    for y in range(img.height - 1, -1, -1):
        line = bytearray()
        for x in range(img.width):
            r, g, b, _ = img.get(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        out += line
    return bytes(out)


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    width, height = struct.unpack("<ii", data[18:26])
    offset = struct.unpack("<I", data[10:14])[0]
    row = (width * 3 + 3) & ~3
    px = [None] * (width * height)
    for y in range(height):
        base = offset + (height - 1 - y) * row
        for x in range(width):
            b, g, r = data[base + 3 * x:base + 3 * x + 3]
            px[y * width + x] = (r, g, b, 255)
    return Image(width, height, px)


def render_svg(svg_text, zoom=1):
    """Rasterises SVG source with rsvg-convert; returns an RGBA Image."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.svg")
        with open(src, "w", encoding="utf-8") as f:
            f.write(svg_text)
        png = subprocess.run(["rsvg-convert", "-z", str(zoom), "-f", "png", src],
                             check=True, capture_output=True).stdout
    return read_png(png)
