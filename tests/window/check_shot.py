"""Reads an X window dump of the display and checks what the device shows."""
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


def main():
    width, height, pixel = read_xwd(sys.argv[1])
    # Find the title band of the first screen: a run of its dark blue.
    band = (0, 36, 140)
    found = None
    for y in range(0, height, 4):
        run = 0
        for x in range(0, width):
            if pixel(x, y) == band:
                run += 1
                if run >= 400:
                    found = (x - run + 1, y)
                    break
            else:
                run = 0
        if found:
            break
    if not found:
        sys.exit("the window's title band is not on the display")
    left, top = found
    # Under the band, the screen's white body; around the window, the black display.
    white = sum(1 for y in range(top + 100, top + 400, 10) for x in range(left, left + 470, 10)
                if pixel(x, y) == (255, 255, 255))
    if white < 300:
        sys.exit(f"the body of the screen is not white ({white} samples)")
    if pixel(max(0, left - 5), top) == band:
        sys.exit("the band runs past the window's edge")
    print(f"window at x={left}, band row y={top}, white samples {white}")


main()
