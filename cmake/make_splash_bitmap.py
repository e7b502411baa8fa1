#!/usr/bin/env python3
"""Draws the launcher's built-in splash picture: a 506 x 388 pixel, 24-bit BMP file.

Usage: make_splash_bitmap.py OUT.bmp

A deep blue gradient, a few soft rings, the word "QXLauncher" in block letters with a shadow
and an accent bar under it. Everything is computed here, so the same picture comes out of
every build.
"""

import math
import struct
import sys

WIDTH = 506
HEIGHT = 388

# Block letters on a 5 x 7 grid ("#" is a filled cell).
GLYPHS = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "c": [".....", ".....", ".###.", "#....", "#....", "#...#", ".###."],
    "h": ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
}
WORD = "QXLauncher"
CELL = 6  # pixels per grid cell
GAP = 1  # grid cells between letters

TOP = (14, 42, 71)
BOTTOM = (31, 111, 139)
INK = (245, 248, 250)
SHADOW = (6, 20, 36)
ACCENT = (242, 159, 5)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def background(x, y):
    colour = mix(TOP, BOTTOM, y / (HEIGHT - 1))
    # Soft rings around a point beyond the right edge, brighter near their centre line.
    distance = math.hypot(x - 560, y - 330)
    for radius, strength in ((150, 0.16), (230, 0.11), (310, 0.07)):
        glow = max(0.0, 1.0 - abs(distance - radius) / 18.0) * strength
        colour = mix(colour, (255, 255, 255), glow)
    # A faint lighter band across the top third.
    colour = mix(colour, (255, 255, 255), 0.05 * max(0.0, 1.0 - abs(y - 60) / 60.0))
    return colour


def letter_cells():
    """The filled cells of the word as (column, row) on one grid."""
    cells = []
    column = 0
    for letter in WORD:
        for row, line in enumerate(GLYPHS[letter]):
            for offset, mark in enumerate(line):
                if mark == "#":
                    cells.append((column + offset, row))
        column += 5 + GAP
    return cells, column - GAP


def draw():
    pixels = [[background(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    cells, columns = letter_cells()
    left = (WIDTH - columns * CELL) // 2
    top = 150

    def fill(x0, y0, w, h, colour, alpha=1.0):
        for y in range(max(0, y0), min(HEIGHT, y0 + h)):
            row = pixels[y]
            for x in range(max(0, x0), min(WIDTH, x0 + w)):
                row[x] = mix(row[x], colour, alpha)

    for column, row in cells:
        fill(left + column * CELL + 3, top + row * CELL + 3, CELL, CELL, SHADOW, 0.55)
    for column, row in cells:
        fill(left + column * CELL, top + row * CELL, CELL, CELL, INK)
    fill(left, top + 7 * CELL + 14, columns * CELL, 4, ACCENT)
    # Three small squares on the left, stepping up like a progress bar.
    for step in range(3):
        size = 8 + 4 * step
        fill(left + step * 22, top - 28 - size, size, size, ACCENT, 0.55 + 0.2 * step)
    return pixels


def bmp_bytes(pixels):
    stride = (WIDTH * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # BMP rows run from the bottom up
        for r, g, b in row:
            image += bytes((round(b), round(g), round(r)))
        image += bytes(stride - WIDTH * 3)
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(image), 0, 0, header_size)
    info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(image),
                              2835, 2835, 0, 0)
    return file_header + info_header + bytes(image)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_splash_bitmap.py OUT.bmp")
    with open(sys.argv[1], "wb") as out:
        out.write(bmp_bytes(draw()))


if __name__ == "__main__":
    main()
