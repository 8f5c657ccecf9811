"""Reads an X window dump of the display and checks that it shows the main menu."""
import struct
import sys


def read_xwd(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, _, _, depth, width, height = header[:6]
    bits_per_pixel = header[11]
    bytes_per_line = header[12]
    ncolors = header[19]
    offset = header_size + ncolors * 12
    if bits_per_pixel not in (24, 32):
        sys.exit(f"unexpected dump format: {bits_per_pixel} bits per pixel")
    step = bits_per_pixel // 8
    little = header[7] == 0

    def pixel(x, y):
        i = offset + y * bytes_per_line + x * step
        b = data[i:i + 3]
        return (b[2], b[1], b[0]) if little else (b[step - 3], b[step - 2], b[step - 1])
    return width, height, pixel


def purple(p):
    r, g, b = p
    return b >= 60 and r > g + 20 and b > r


def red(p):
    r, g, b = p
    return r >= 180 and g <= 60 and b <= 60


def main():
    width, height, pixel = read_xwd(sys.argv[1])
    # The device's screen is everything that is not the black display around it.
    xs, ys = [], []
    for y in range(0, height, 2):
        for x in range(0, width, 2):
            if pixel(x, y) != (0, 0, 0):
                xs.append(x)
                ys.append(y)
    if not xs:
        sys.exit("nothing on the display")
    left, top, right, bottom = min(xs), min(ys), max(xs) + 2, max(ys) + 2
    w, h = right - left, bottom - top
    # A portrait screen of 3:4 at a whole zoom of 240 x 320.
    if abs(w * 4 - h * 3) > 16 or w < 230:
        sys.exit(f"the screen on the display is {w} x {h}, not portrait 3:4")
    # The menu's purple background fills most of it.
    samples = [pixel(x, y) for y in range(top, bottom, 16) for x in range(left, right, 16)]
    share = sum(1 for p in samples if purple(p)) / len(samples)
    if share < 0.5:
        sys.exit(f"the main menu's purple is missing ({share:.0%} of samples)")
    # The close box, red, in the top right corner; none in the bottom left.
    corner = w * 36 // 480
    reds = sum(1 for y in range(top, top + corner) for x in range(right - corner, right) if red(pixel(x, y)))
    if reds < corner * corner // 20:
        sys.exit(f"no close box in the top right corner ({reds} red pixels)")
    if any(red(pixel(x, y)) for y in range(bottom - corner, bottom) for x in range(left, left + corner)):
        sys.exit("red in the bottom left corner: the screen is not the main menu")
    print(f"main menu at x={left}, y={top}, {w} x {h}, purple {share:.0%}, close box {reds} red pixels")


main()
