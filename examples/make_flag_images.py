#!/usr/bin/env python3
"""Writes the bundled example's language flags, bilingual/images/lang_en.gif
and lang_es.gif: 20 x 12 pixel GIFs drawn here, pixel by pixel.

Run from this folder: python3 make_flag_images.py
"""
import struct

WIDTH, HEIGHT = 20, 12
PALETTE = [(0x01, 0x21, 0x69), (0xFF, 0xFF, 0xFF), (0xC8, 0x10, 0x2E), (0xFF, 0xC4, 0x00)]
BLUE, WHITE, RED, YELLOW = range(4)


def english(x, y):
    """A blue field crossed by white diagonals and a red cross on white."""
    cx, cy = x - (WIDTH - 1) / 2, y - (HEIGHT - 1) / 2
    if abs(cx) <= 1 or abs(cy) <= 1:
        return RED
    if abs(cx) <= 2 or abs(cy) <= 2:
        return WHITE
    if abs(abs(cx) * HEIGHT - abs(cy) * WIDTH) <= WIDTH / 2:
        return WHITE
    return BLUE


def spanish(x, y):
    """Red, yellow twice as high, red."""
    return YELLOW if 3 <= y < 9 else RED


def gif(pixel):
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x81, 0, 0)  # 4-colour global table
    for rgb in PALETTE:
        out += bytes(rgb)
    out += b"," + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
    # LZW with 9-bit codes: a clear code, every pixel as a literal, the end
    # code. 240 literals never fill the table up to where codes widen.
    clear, end = 256, 257
    codes = [clear] + [pixel(x, y) for y in range(HEIGHT) for x in range(WIDTH)] + [end]
    bits, nbits, data = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    out.append(8)  # minimum code size
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00;"
    return bytes(out)


for name, pixel in (("lang_en.gif", english), ("lang_es.gif", spanish)):
    with open("bilingual/images/" + name, "wb") as f:
        f.write(gif(pixel))
