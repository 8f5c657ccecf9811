"""Checks that an X window dump shows a device screenshot at a whole zoom.

usage: compare_shot.py WINDOW.xwd SCREEN.bmp [WIDTHxHEIGHT]

The window must show the screenshot (a 24-bit BMP that the program wrote)
scaled by the largest whole zoom that fits the window, centred, with black
around it; with WIDTHxHEIGHT the window must also be that size. A window
smaller than the screen must show all of it scaled down to fit, keeping its
shape: each pixel the average of the screen's area under it (within 3 of
256 levels).
"""
import struct
import sys


def read_xwd(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"unexpected dump format: {bits_per_pixel} bits per pixel")
    offset = header_size + ncolors * 12
    step = bits_per_pixel // 8
    little = header[7] == 0

    def pixel(x, y):
        i = offset + y * bytes_per_line + x * step
        b = data[i:i + step]
        return (b[2], b[1], b[0]) if little else (b[step - 3], b[step - 2], b[step - 1])
    return width, height, pixel


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP")
    offset, = struct.unpack("<I", data[10:14])
    width, height, _, bits = struct.unpack("<iiHH", data[18:30])
    if bits != 24 or height <= 0:
        sys.exit(f"{path}: expected a bottom-up 24-bit BMP")
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * 3
        return (data[i + 2], data[i + 1], data[i])
    return width, height, pixel


def weights(source, dest):
    """Per window pixel of one axis: (device pixel, share of it) for the area it covers."""
    out = []
    for d in range(dest):
        start, end = d * source / dest, (d + 1) * source / dest
        out.append([(i, (min(end, i + 1) - max(start, i)) * dest / source)
                    for i in range(int(start), min(source, int(end) + 1)) if min(end, i + 1) > max(start, i)])
    return out


def smooth(wide, high, shown, width, height, screen):
    if wide * height <= high * width:
        w, h = wide, height * wide // width
    else:
        w, h = width * high // height, high
    left, top = (wide - w) // 2, (high - h) // 2
    columns, rows = weights(width, w), weights(height, h)
    pixels = [[screen(x, y) for x in range(width)] for y in range(height)]
    worst = (0, None)
    for dy, row in enumerate(rows):
        # The window row's device rows summed, then its columns.
        summed = [[sum(pixels[i][x][c] * share for i, share in row) for c in range(3)] for x in range(width)]
        for dx, column in enumerate(columns):
            want = [sum(summed[i][c] * share for i, share in column) for c in range(3)]
            got = shown(left + dx, top + dy)
            off = max(abs(got[c] - want[c]) for c in range(3))
            if off > worst[0]:
                worst = (off, (dx, dy, got, tuple(round(v) for v in want)))
    if worst[0] > 3:
        dx, dy, got, want = worst[1]
        sys.exit(f"the {w} x {h} picture of the {width} x {height} screen is off by {worst[0]:.0f} "
                 f"at ({dx}, {dy}): {got}, not about {want}")
    for y in range(0, high, 7):
        for x in range(0, wide, 7):
            inside = left <= x < left + w and top <= y < top + h
            if not inside and shown(x, y) != (0, 0, 0):
                sys.exit(f"the window is not black at ({x}, {y}) outside the screen")
    print(f"{wide} x {high} window shows the {width} x {height} screen scaled to {w} x {h}")


def main():
    wide, high, shown = read_xwd(sys.argv[1])
    width, height, screen = read_bmp(sys.argv[2])
    if len(sys.argv) > 3 and sys.argv[3]:
        want = tuple(int(v) for v in sys.argv[3].split("x"))
        if (wide, high) != want:
            sys.exit(f"the window is {wide} x {high}, not {want[0]} x {want[1]}")
    zoom = min(wide // width, high // height)
    if zoom < 1:
        smooth(wide, high, shown, width, height, screen)
        return
    left, top = (wide - width * zoom) // 2, (high - height * zoom) // 2
    # Every device pixel, at the middle of its cell.
    wrong = []
    for y in range(height):
        for x in range(width):
            got = shown(left + x * zoom + zoom // 2, top + y * zoom + zoom // 2)
            if got != screen(x, y):
                wrong.append((x, y, got, screen(x, y)))
    if wrong:
        x, y, got, want = wrong[0]
        sys.exit(f"{len(wrong)} of {width * height} screen pixels differ at zoom {zoom} "
                 f"(first at ({x}, {y}): {got}, not {want})")
    # The letterbox around it is black.
    for y in range(0, high, 7):
        for x in range(0, wide, 7):
            inside = left <= x < left + width * zoom and top <= y < top + height * zoom
            if not inside and shown(x, y) != (0, 0, 0):
                sys.exit(f"the window is not black at ({x}, {y}) outside the screen")
    print(f"{wide} x {high} window shows the {width} x {height} screen at zoom {zoom}")


main()
