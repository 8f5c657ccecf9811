"""Checks that an X window dump shows a device screenshot at a whole zoom.

usage: compare_shot.py WINDOW.xwd SCREEN.bmp [WIDTHxHEIGHT]

The window must show the screenshot (a 24-bit BMP that the program wrote)
scaled by the largest whole zoom that fits the window, centred, with black
around it; with WIDTHxHEIGHT the window must also be that size.
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


def main():
    wide, high, shown = read_xwd(sys.argv[1])
    width, height, screen = read_bmp(sys.argv[2])
    if len(sys.argv) > 3:
        want = tuple(int(v) for v in sys.argv[3].split("x"))
        if (wide, high) != want:
            sys.exit(f"the window is {wide} x {high}, not {want[0]} x {want[1]}")
    zoom = min(wide // width, high // height)
    if zoom < 1:
        sys.exit(f"the window ({wide} x {high}) is smaller than the screen ({width} x {height})")
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
