#!/usr/bin/env python3
"""Draws the icons of PloverCmd and of the setup program.

Each icon is a few filled shapes in the maker's colours, rendered with 4x4
supersampling at 48, 32 and 16 pixels and written as an .ico of 32-bit DIB
images (with the AND mask older systems read). Only the standard library is
used, so the icons can be redrawn on any machine:

    python3 installer/icons.py        # rewrites cmdtest/win/PloverCmd.ico and installer/PloverSetup.ico
"""
import math
import os
import struct
import sys

SIZES = (48, 32, 16)
SUB = 4  # supersampling per axis

NAVY = (0x1F, 0x3A, 0x6E)
TEAL = (0x12, 0x5E, 0x5A)
WHITE = (0xFF, 0xFF, 0xFF)
SKY = (0x7F, 0xC4, 0xF0)
AMBER = (0xF2, 0xB1, 0x34)


# Shapes work in a 48-unit square whatever the pixel size; each is a
# function (x, y) -> inside.
def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def stroke(points, width):
    """A polyline of the given width with round joins and ends."""
    half = width / 2.0

    def inside(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            t = ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy)
            t = min(max(t, 0.0), 1.0)
            if math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half:
                return True
        return False
    return inside


def render(layers, size):
    """RGBA rows, top first; later layers paint over earlier ones."""
    scale = 48.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUB):
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) * scale
                    y = (py + (sy + 0.5) / SUB) * scale
                    color = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            color = rgb
                    if color is not None:
                        acc[0] += color[0]
                        acc[1] += color[1]
                        acc[2] += color[2]
                        acc[3] += 1
            n = SUB * SUB
            alpha = acc[3] / n
            if acc[3]:
                rgb = tuple(int(round(c / acc[3])) for c in acc[:3])
            else:
                rgb = (0, 0, 0)
            row.append(rgb + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(layers):
    images = [dib(render(layers, s)) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def command_icon():
    # A prompt: a chevron and a cursor on the teal square, the maker's wave below.
    return [
        (rounded_rect(1, 1, 47, 47, 9), TEAL),
        (stroke([(11, 12), (22, 21), (11, 30)], 5.5), WHITE),
        (stroke([(26, 30), (37, 30)], 5.5), AMBER),
        (stroke([(6, 40), (14, 37.5), (22, 40), (30, 42.5), (38, 40), (44, 38)], 3), SKY),
    ]


def setup_icon():
    # An open box on the navy square with an arrow going into it.
    return [
        (rounded_rect(1, 1, 47, 47, 9), NAVY),
        (polygon([(8, 26), (40, 26), (37, 42), (11, 42)]), SKY),
        (polygon([(8, 26), (24, 31), (40, 26), (40, 28), (24, 33), (8, 28)]), NAVY),
        (polygon([(20, 5), (28, 5), (28, 15), (34, 15), (24, 27), (14, 15), (20, 15)]), WHITE),
    ]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    targets = {
        os.path.join(root, "cmdtest", "win", "PloverCmd.ico"): command_icon(),
        os.path.join(root, "installer", "PloverSetup.ico"): setup_icon(),
    }
    for path, layers in targets.items():
        with open(path, "wb") as f:
            f.write(ico(layers))
        print(os.path.relpath(path, root))
    return 0


if __name__ == "__main__":
    sys.exit(main())
