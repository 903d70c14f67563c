#!/usr/bin/env python3
"""Writes cellarium.ico: one 32x32, 16-colour image of a glider on black,
with the two cells it just left in a dimmer shade. Run it from anywhere:
    python3 program/make_icon.py   (rewrites program/cellarium.ico beside this file)
The icon is kept in the tree, so building needs no Python."""
import os
import struct

SIZE = 32
# The standard 16-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (red, green, blue); written as blue, green, red, 0
BLACK, DARK_GREY, DARK_CYAN, CYAN = 0, 8, 6, 14

# A glider heading down-right on a 4x4 board of 7-pixel cells with 1-pixel
# gaps, rows from the top. 'X' live, 'o' just died, '.' empty.
BOARD = [
    ".X..",
    "o.X.",
    "XXX.",
    ".o..",
]
CELL, GAP, ORIGIN = 7, 1, 0


def pixels():
    image = [[BLACK] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if x % (CELL + GAP) == CELL or y % (CELL + GAP) == CELL:
                image[y][x] = DARK_GREY  # the grid between cells
    for row, line in enumerate(BOARD):
        for col, mark in enumerate(line):
            colour = {"X": CYAN, "o": DARK_CYAN}.get(mark)
            if colour is None:
                continue
            for dy in range(CELL):
                for dx in range(CELL):
                    image[ORIGIN + row * (CELL + GAP) + dy][ORIGIN + col * (CELL + GAP) + dx] = colour
    return image


def icon_bytes():
    image = pixels()
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        row = image[y]
        for x in range(0, SIZE, 2):
            xor.append(row[x] << 4 | row[x + 1])
    mask = bytes(SIZE * SIZE // 8)  # every pixel opaque
    data = header + palette + bytes(xor) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    return directory + entry + data


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cellarium.ico")
    with open(path, "wb") as out:
        out.write(icon_bytes())
