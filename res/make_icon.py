#!/usr/bin/env python3
"""Draws brisvane.ico: one 32 x 32 image in the 16 standard colours.

A printer with a sheet of paper and a toner cartridge crossed out. Run it
again after changing the picture; the output is the same byte for byte."""
import struct
import sys

PALETTE = [  # the 16 colours of the standard VGA palette, as B, G, R
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_GREY, GREY, WHITE, RED, BLUE = 0, 8, 7, 15, 9, 12
SIZE = 32


def draw():
    pixels = [[None] * SIZE for _ in range(SIZE)]  # None is transparent

    def box(x0, y0, x1, y1, colour, outline=BLACK):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                pixels[y][x] = outline if edge and outline is not None else colour

    box(9, 2, 22, 12, WHITE)                # paper going in
    for y in (5, 7, 9):
        for x in range(11, 21):
            pixels[y][x] = DARK_GREY
    box(2, 11, 29, 24, GREY)                # the printer's body
    box(4, 13, 27, 14, DARK_GREY, None)     # paper slot
    box(6, 17, 17, 21, BLUE)                # toner cartridge
    pixels[16][24] = pixels[16][25] = RED   # status lamp
    box(8, 24, 23, 29, WHITE)               # paper coming out
    for i in range(12):                     # the cartridge crossed out
        for d in (0, 1):
            pixels[15 + i * 9 // 12][5 + i + d] = RED
            pixels[15 + i * 9 // 12][18 - i + d] = RED
    return pixels


def ico(pixels):
    xor = b""
    mask = b""
    for row in reversed(pixels):            # bottom-up rows
        nibbles = [0 if p is None else p for p in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is None else 0)
        mask += bits.to_bytes(4, "big")     # 32 bits: already a multiple of 4 bytes
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (b, g, r) in PALETTE)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "brisvane.ico"
    with open(out, "wb") as f:
        f.write(ico(draw()))
