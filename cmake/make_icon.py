#!/usr/bin/env python3
"""Draws the launcher's application icon: an ICO file with two 32 x 32 images, one with a
256-colour palette and one with 32-bit colour and alpha.

Usage: make_icon.py OUT.ico

A rounded blue square with a white upward arrow over an orange bar: start and update.
"""

import struct
import sys

SIZE = 32
TOP = (40, 110, 170)
BOTTOM = (14, 42, 71)
ARROW = (245, 248, 250)
ACCENT = (242, 159, 5)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def inside_rounded_square(x, y, margin=1, radius=7):
    lo, hi = margin, SIZE - 1 - margin
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def inside_arrow(x, y):
    # Head: a triangle from row 6 (tip) to row 15; shaft: columns 13-18 down to row 22.
    if 6 <= y <= 15:
        half = (y - 6) * 8 // 9 + 1
        return 16 - half <= x <= 15 + half
    return 13 <= x <= 18 and 16 <= y <= 22


def draw():
    """Rows of (r, g, b, a), top row first."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            if not inside_rounded_square(x, y):
                row.append((0, 0, 0, 0))
            elif inside_arrow(x, y):
                row.append(ARROW + (255,))
            elif 24 <= y <= 26 and 8 <= x <= 23:
                row.append(ACCENT + (255,))
            else:
                row.append(mix(TOP, BOTTOM, y / (SIZE - 1)) + (255,))
        rows.append(row)
    return rows


def and_mask(rows):
    """1 bit per pixel, set where transparent; rows bottom-up, padded to 32 bits."""
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    return bytes(mask)


def info_header(bits, image_size, colours):
    # The height counts the colour image and the mask together.
    return struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bits, 0, image_size, 0, 0,
                       colours, 0)


def image_8bit(rows):
    # The picture has fewer than 256 colours: each gets a palette entry of its own.
    colours = sorted({p[:3] for row in rows for p in row if p[3]})
    assert len(colours) < 256
    index = {colour: i + 1 for i, colour in enumerate(colours)}  # 0: transparent
    palette = bytearray(4)
    for r, g, b in colours:
        palette += bytes((b, g, r, 0))
    palette += bytes(4 * (256 - 1 - len(colours)))
    pixels = bytearray()
    for row in reversed(rows):
        pixels += bytes(index[p[:3]] if p[3] else 0 for p in row)
    mask = and_mask(rows)
    return info_header(8, len(pixels) + len(mask), 256) + bytes(palette) + bytes(pixels) + mask


def image_32bit(rows):
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = and_mask(rows)
    return info_header(32, len(pixels) + len(mask), 0) + bytes(pixels) + mask


def ico_bytes(rows):
    images = [(8, image_8bit(rows)), (32, image_32bit(rows))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for bits, data in images:
        colours = 0  # 0: 256 colours or more
        out += struct.pack("<BBBBHHII", SIZE, SIZE, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
