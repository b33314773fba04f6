#!/usr/bin/env python3
"""Draws resources/telvor.ico: a young crescent Moon over a map-like horizon, 32x32, 16 colours.

Run by hand and commit the result. Plain python3, no extra modules. Usage:
    scripts/make-icon.py [output.ico]      (default: resources/telvor.ico)
"""
import math
import os
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue), in its usual index order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

HORIZON = 23  # first row of the ground (rows grow downward while drawing)
MOON = (16.0, 11.0, 8.5)  # centre x, centre y, radius in pixels
SHADOW = (13.6, 8.6, 8.5)  # the disk that hides the unlit part, offset away from the Sun


def coverage(x, y, inside, n=4):
    """Fraction of pixel (x, y) for which inside(px, py) holds, by n x n supersampling."""
    hits = 0
    for i in range(n):
        for j in range(n):
            if inside(x + (i + 0.5) / n, y + (j + 0.5) / n):
                hits += 1
    return hits / (n * n)


def in_disk(disk):
    cx, cy, r = disk
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def lit(px, py):
    return in_disk(MOON)(px, py) and not in_disk(SHADOW)(px, py)


def is_land(x, y):
    """Two continent-like shapes on the ground band, so that it reads as a map."""
    d = y - HORIZON
    west = x < 8 + 3.0 * math.sin(d * 0.7) + d * 0.5
    east = 17 + 2.0 * math.cos(d * 0.9) - d * 0.4 < x < 27 + 1.5 * math.sin(d * 1.1) and d >= 2
    return west or east


def pixel(x, y):
    if y > HORIZON:
        return DKGREEN if is_land(x, y) else NAVY
    if y == HORIZON:
        return TEAL
    c = coverage(x, y, lit)
    if c >= 0.5:
        return YELLOW
    if c >= 0.2:
        return OLIVE  # a soft edge
    # The afterglow of the set Sun, low in the lower right.
    glow = (y - HORIZON) + (x - 12) / 5.0
    return RED if glow >= 2.5 else MAROON if glow >= 0.5 else BLACK


def transparent(x, y):
    """Rounded corners, radius 3."""
    r = 3
    cx = r if x < r else SIZE - 1 - r if x > SIZE - 1 - r else x
    cy = r if y < r else SIZE - 1 - r if y > SIZE - 1 - r else y
    return (x - cx) ** 2 + (y - cy) ** 2 > r * r + 1


def build_ico():
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # device-independent bitmaps store the bottom row first
        for x in range(0, SIZE, 2):
            hi = 0 if transparent(x, y) else pixel(x, y)
            lo = 0 if transparent(x + 1, y) else pixel(x + 1, y)
            xor.append(hi << 4 | lo)  # high nibble = left pixel
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | transparent(x, y)
        mask += struct.pack(">I", bits)  # 32 pixels = 4 bytes, no padding needed
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    # Height counts both the colour bits and the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "telvor.ico")
    data = build_ico()
    with open(out, "wb") as f:
        f.write(data)
    print(f"wrote {out}: {len(data)} bytes")


if __name__ == "__main__":
    main()
