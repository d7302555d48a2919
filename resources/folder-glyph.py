#!/usr/bin/env python3
"""Writes folder-glyph.ico, the glyph of the Windows folder button, from the pixel art below.

The icon holds one 32-bit entry per common display scale (100 % to 300 %), each the art
enlarged by repeating pixels to exactly the size the button asks for at that scale: 15 x 13
at 96 dots per inch, MulDiv-rounded for the others. Run it again after changing the art:

    python3 resources/folder-glyph.py resources/folder-glyph.ico

With --check it writes nothing and fails when the file differs from what it would write.
"""

import struct
import sys

# '.' transparent, 'k' outline, 'y' yellow, 'l' light yellow.
ART = [
    "...............",
    ".kkkk..........",
    "kllllk.........",
    "klyyylkkkkkkk..",
    "klyyyyyyyyyyk..",
    "klyykkkkkkkkkkk",
    "klyklllllllllk.",
    "klkllyyyyyyyk..",
    "kkllyyyyyyyyk..",
    "kklyyyyyyyyk...",
    "kkyyyyyyyyyk...",
    "kkkkkkkkkkk....",
    "...............",
]
# Blue, green, red, alpha.
COLOURS = {
    "k": (0x00, 0x4A, 0x5A, 0xFF),
    "y": (0x20, 0xC0, 0xF0, 0xFF),
    "l": (0xA0, 0xF0, 0xFF, 0xFF),
    ".": (0x00, 0x00, 0x00, 0x00),
}
DPIS = [96, 120, 144, 168, 192, 216, 240, 288]


def mul_div(value, numerator, denominator):
    """Windows' MulDiv for positive numbers: the quotient rounded half up."""
    return (value * numerator * 2 + denominator) // (2 * denominator)


def entry(dpi):
    art_width, art_height = len(ART[0]), len(ART)
    width, height = mul_div(art_width, dpi, 96), mul_div(art_height, dpi, 96)
    colour = bytearray()
    mask = bytearray()
    mask_stride = (width + 31) // 32 * 4
    for y in reversed(range(height)):  # bottom-up rows
        row = ART[y * art_height // height]
        line = bytearray(mask_stride)
        for x in range(width):
            c = row[x * art_width // width]
            colour += bytes(COLOURS[c])
            if c == ".":
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return width, height, header + bytes(colour) + bytes(mask)


def icon():
    images = [entry(dpi) for dpi in DPIS]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    data = b""
    for width, height, image in images:
        directory += struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return directory + data


def main(args):
    check = args[:1] == ["--check"]
    path = (args[1:] if check else args)[:1] or ["folder-glyph.ico"]
    if check:
        with open(path[0], "rb") as current:
            if current.read() != icon():
                sys.exit(path[0] + " is not what folder-glyph.py writes: run it again")
        return
    with open(path[0], "wb") as out:
        out.write(icon())


if __name__ == "__main__":
    main(sys.argv[1:])
