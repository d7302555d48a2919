#!/usr/bin/env python3
"""Writes the test pictures of the picture loader into a folder, with what each must give.

Every bitmap variant the program shows is written twice: as the variant (NAME.bmp) and as the
wallpaper file the program must write for it (NAME.expected.bmp: 24 bits, bottom-up, 96 dpi,
transparency and skipped pixels laid over white), worked out here independently of the program.
Variants the program refuses are written as NAME.bmp or NAME.jpg alone; the tests know the
reasons. JPEGs with every EXIF orientation (orient-N.jpg) are made with ImageMagick from one
upright picture of four coloured quarters.

Usage: make_pictures.py OUTPUT_FOLDER
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 11, 6  # odd, so that 1, 4, 8, 16 and 24-bit rows are padded


def expand(value, bits):
    """A channel of `bits` bits stretched to 0-255, rounded to the nearest."""
    if bits == 0:
        return 0
    top = (1 << bits) - 1
    return (value * 255 + top // 2) // top


def on_white(channel, alpha):
    return (channel * alpha + 255 * (255 - alpha) + 127) // 255


def wallpaper(rows):
    """The wallpaper file for rows of (red, green, blue), top row first."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = b''
    for row in reversed(rows):
        line = b''.join(bytes((b, g, r)) for r, g, b in row)
        data += line + b'\0' * (stride - len(line))
    header = b'BM' + struct.pack('<IHHI', 54 + len(data), 0, 0, 54)
    header += struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 3780, 3780,
                          0, 0)
    return header + data


def bitmap(info, data, palette=b'', extra=b'', gap=b''):
    """A bitmap file: file header, information header, masks or palette, a gap, the pixels."""
    if len(info) >= 40 and struct.unpack_from('<I', info, 16)[0] in (1, 2):
        # Run-length data is as long as the header says.
        info = info[:20] + struct.pack('<I', len(data)) + info[24:]
    offset = 14 + len(info) + len(extra) + len(palette) + len(gap)
    return (b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + info + extra +
            palette + gap + data)


def info40(width, height, bits, compression=0, colours=0, size=40, masks=None):
    """A Windows information header of `size` bytes (40, 52, 56, 108 or 124)."""
    head = struct.pack('<IiiHHIIiiII', size, width, height, 1, bits, compression, 0, 2835, 2835,
                       colours, 0)
    if size > 40:
        m = list(masks or (0, 0, 0, 0)) + [0] * 4
        head += struct.pack('<IIII', *m[:4])[:size - 40]
    if size > 56:
        head += struct.pack('<I', 0x73524742)  # sRGB
        head += b'\0' * (size - len(head))
    return head


def pack_rows(rows, bits):
    """Rows of integers (palette indices or pixel values), bottom row first, padded to 4 bytes."""
    out = b''
    for row in rows:
        if bits < 8:
            acc, n, line = 0, 0, b''
            for v in row:
                acc = acc << bits | v
                n += bits
                if n == 8:
                    line += bytes((acc,))
                    acc, n = 0, 0
            if n:
                line += bytes((acc << (8 - n),))
        else:
            line = b''.join(v.to_bytes(bits // 8, 'little') for v in row)
        out += line + b'\0' * (-len(line) % 4)
    return out


def palette_of(count, quad=True):
    colours = [((i * 37) % 256, (i * 91 + 40) % 256, (i * 53 + 7) % 256) for i in range(count)]
    entry = (lambda c: bytes((c[2], c[1], c[0], 0))) if quad else (lambda c: bytes((c[2], c[1],
                                                                                     c[0])))
    return colours, b''.join(entry(c) for c in colours)


def indices(bits):
    top = (1 << bits) - 1
    return [[(x * 3 + y * 5) % (top + 1) for x in range(WIDTH)] for y in range(HEIGHT)]


def palette_variants(put):
    for bits in (1, 4, 8):
        idx = indices(bits)
        colours, pal = palette_of(1 << bits)
        expected = [[colours[i] for i in row] for row in idx]
        data = pack_rows(list(reversed(idx)), bits)
        put(f'pal{bits}', bitmap(info40(WIDTH, HEIGHT, bits), data, pal), expected)
        # OS/2 1.x: a 12-byte header, 16-bit sizes and 3-byte palette entries; the pixels do not
        # follow the palette, but start where the file header says.
        _, pal3 = palette_of(1 << bits, quad=False)
        os2 = struct.pack('<IHHHH', 12, WIDTH, HEIGHT, 1, bits)
        put(f'pal{bits}-os2', bitmap(os2, data, pal3, gap=b'\xAA' * 6), expected)
        # OS/2 2.x: a 64-byte header.
        os2v2 = struct.pack('<IiiHH', 64, WIDTH, HEIGHT, 1, bits) + b'\0' * 48
        put(f'pal{bits}-os2v2', bitmap(os2v2, data, pal), expected)
    # A palette shorter than the indices: indices past it are black.
    idx = indices(8)
    colours, pal = palette_of(20)
    expected = [[colours[i] if i < 20 else (0, 0, 0) for i in row] for row in idx]
    put('pal8-short-palette',
        bitmap(info40(WIDTH, HEIGHT, 8, colours=20), pack_rows(list(reversed(idx)), 8), pal),
        expected)
    # Rows top-down.
    colours, pal = palette_of(256)
    put('pal8-topdown', bitmap(info40(WIDTH, -HEIGHT, 8), pack_rows(idx, 8), pal),
        [[colours[i] for i in row] for row in idx])


def rle_variants(put):
    white = (255, 255, 255)
    colours, pal = palette_of(16)
    # RLE8 (rows bottom-up): a run, a literal, an end of line, a jump, an end of the bitmap
    # before the last row; everything skipped is transparent, so white.
    grid = [[white] * WIDTH for _ in range(HEIGHT)]

    def put_pixel(x, y, i):  # y counts stored rows from the bottom
        if x < WIDTH and y < HEIGHT:
            grid[HEIGHT - 1 - y][x] = colours[i]

    data = b''
    # row 0: 4 x colour 3, literal 5 pixels (odd count: padded), end of line
    data += bytes((4, 3)) + bytes((0, 5, 1, 2, 3, 4, 5, 0)) + bytes((0, 0))
    for x in range(4):
        put_pixel(x, 0, 3)
    for k, i in enumerate((1, 2, 3, 4, 5)):
        put_pixel(4 + k, 0, i)
    # row 1: 2 x colour 7, jump 3 right and 2 up, 3 x colour 9, end of line
    data += bytes((2, 7)) + bytes((0, 2, 3, 2)) + bytes((3, 9)) + bytes((0, 0))
    put_pixel(0, 1, 7)
    put_pixel(1, 1, 7)
    for x in range(5, 8):
        put_pixel(x, 3, 9)
    # row 4: a run to the end of the row; then the end of the bitmap
    data8 = data + bytes((WIDTH, 12)) + bytes((0, 0)) + bytes((0, 1))
    for x in range(WIDTH):
        put_pixel(x, 4, 12)
    put('rle8', bitmap(info40(WIDTH, HEIGHT, 8, compression=1, colours=16), data8, pal), grid)
    # The same with a run longer than its row: it is cut at the row's end.
    put('rle8-runoff', bitmap(info40(WIDTH, HEIGHT, 8, compression=1, colours=16),
                              data + bytes((WIDTH + 5, 12)) + bytes((0, 0)) + bytes((0, 1)), pal),
        grid)

    # RLE4: runs alternate two colours by nibble; literals hold two pixels a byte.
    grid = [[white] * WIDTH for _ in range(HEIGHT)]
    data = b''
    data += bytes((5, 0x3A)) + bytes((0, 3, 0x12, 0x30)) + bytes((0, 0))  # row 0
    for x, i in enumerate((3, 10, 3, 10, 3, 1, 2, 3)):
        put_pixel(x, 0, i)
    data += bytes((0, 2, 2, 0)) + bytes((3, 0x55)) + bytes((0, 0))  # jump to (2, 1)
    for x in range(2, 5):
        put_pixel(x, 1, 5)
    data += bytes((0, 2, 1, 1)) + bytes((0, 4, 0xFE, 0xDC))  # jump to (1, 3), literal 4
    for k, i in enumerate((15, 14, 13, 12)):
        put_pixel(1 + k, 3, i)
    data += bytes((0, 1))
    put('rle4', bitmap(info40(WIDTH, HEIGHT, 4, compression=2), data, pal), grid)


def masked(put, name, bits, masks, size=40, compression=3, alpha_values=False, noise=False):
    """A 16, 24 or 32-bit bitmap with channel masks (red, green, blue, alpha)."""
    shifts, widths = [], []
    for m in masks:
        s = (m & -m).bit_length() - 1 if m else 0
        shifts.append(s)
        widths.append(bin(m).count('1'))
    values, expected = [], []
    for y in range(HEIGHT):
        row, erow = [], []
        for x in range(WIDTH):
            pixel, channels = 0, []
            for c in range(4):
                top = (1 << widths[c]) - 1
                v = [top, (x * 7 + y * 3) % (top + 1), 0, (x * y * 13) % (top + 1)][(x + y + c) % 4]
                if c == 3 and not alpha_values:
                    v = top
                pixel |= v << shifts[c]
                channels.append(expand(v, widths[c]))
            a = channels[3] if masks[3] else 255
            erow.append(tuple(on_white(ch, a) for ch in channels[:3]))
            if noise:
                pixel |= (x * 57 + y * 31 + 1) % 256 << 24
            row.append(pixel)
        values.append(row)
        expected.append(erow)
    data = pack_rows(list(reversed(values)), bits)
    if compression == 0:
        info, extra = info40(WIDTH, HEIGHT, bits), b''
    elif size >= 52:
        info, extra = info40(WIDTH, HEIGHT, bits, compression, size=size, masks=masks), b''
    else:
        count = 4 if compression == 6 else 3
        info, extra = info40(WIDTH, HEIGHT, bits, compression), struct.pack(
            '<' + 'I' * count, *masks[:count])
    put(name, bitmap(info, data, extra=extra), expected)


def direct_variants(put):
    # 16 bits without masks: 5-5-5, white must be 255, 255, 255.
    masked(put, 'rgb16-555', 16, (0x7C00, 0x03E0, 0x001F, 0), compression=0)
    masked(put, 'rgb16-565', 16, (0xF800, 0x07E0, 0x001F, 0))
    masked(put, 'rgb16-231', 16, (0x0030, 0x000E, 0x0001, 0))
    masked(put, 'rgba16-4444', 16, (0x0F00, 0x00F0, 0x000F, 0xF000), size=56, alpha_values=True)
    masked(put, 'rgba16-1924', 16, (0x8000, 0x7FC0, 0x0030, 0x000F), size=124,
           alpha_values=True)
    # 24 bits plain, and with a V4 header.
    rows = [[((x * 23) % 256, (y * 41) % 256, (x * y * 7) % 256) for x in range(WIDTH)]
            for y in range(HEIGHT)]
    data = b''
    for row in reversed(rows):
        line = b''.join(bytes((b, g, r)) for r, g, b in row)
        data += line + b'\0' * (-len(line) % 4)
    put('rgb24', bitmap(info40(WIDTH, HEIGHT, 24), data), rows)
    put('rgb24-v4', bitmap(info40(WIDTH, HEIGHT, 24, size=108), data), rows)
    # 32 bits: no masks (the fourth byte is not alpha), plain masks, and uncommon ones.
    masked(put, 'rgb32', 32, (0xFF0000, 0xFF00, 0xFF, 0), compression=0)
    masked(put, 'rgb32-bitfields', 32, (0xFF0000, 0xFF00, 0xFF, 0))
    masked(put, 'rgb32-10-10-10-2', 32, (0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), size=124,
           alpha_values=True)
    masked(put, 'rgb32-11-11-10', 32, (0xFFE00000, 0x1FFC00, 0x3FF, 0))
    masked(put, 'rgb32-7-18-7', 32, (0xFE000000, 0x1FFFF80, 0x7F, 0))
    masked(put, 'rgba32-v5', 32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000), size=124,
           alpha_values=True)
    masked(put, 'rgba32-alphabitfields', 32, (0xFF00, 0xFF0000, 0xFF000000, 0xFF),
           compression=6, alpha_values=True)
    # The 4th byte of a 32-bit pixel without masks is not alpha: filled with noise here.
    masked(put, 'rgb32-noise', 32, (0xFF0000, 0xFF00, 0xFF, 0), compression=0, noise=True)


def refused(out):
    """Variants refused with a reason; the tests hold the reasons."""
    def write(name, data):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)

    row2 = pack_rows([[1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3]] * HEIGHT, 2)
    write('pal2.bmp', bitmap(info40(WIDTH, HEIGHT, 2), row2, palette_of(4)[1]))
    write('rgba64.bmp', bitmap(info40(WIDTH, HEIGHT, 64), b'\x10' * (WIDTH * 8 * HEIGHT)))
    png = b'\x89PNG\r\n\x1a\n' + b'\0' * 40
    write('png.bmp', bitmap(info40(WIDTH, HEIGHT, 0, compression=5), png))
    write('jpeg.bmp', bitmap(info40(WIDTH, HEIGHT, 0, compression=4), b'\xFF\xD8\xFF' + b'\0' * 40))
    os2v2 = struct.pack('<IiiHHI', 64, WIDTH, HEIGHT, 1, 1, 3) + b'\0' * 44
    write('huffman.bmp', bitmap(os2v2, b'\0' * 40, palette_of(2)[1]))
    os2v2 = struct.pack('<IiiHHI', 64, WIDTH, HEIGHT, 1, 24, 4) + b'\0' * 44
    write('rle24.bmp', bitmap(os2v2, b'\0' * 40))
    data24 = b'\x80' * (((WIDTH * 3 + 3) & ~3) * HEIGHT)
    write('negative-width.bmp', bitmap(info40(-WIDTH, HEIGHT, 24), data24))
    write('huge.bmp', bitmap(info40(40000, 30000, 24), data24))
    write('cut-short.bmp', bitmap(info40(WIDTH, HEIGHT, 24), data24)[:-20])
    write('bad-masks.bmp', bitmap(info40(WIDTH, HEIGHT, 32, 3), b'\0' * (WIDTH * 4 * HEIGHT),
                                  extra=struct.pack('<III', 0xF0F0, 0xF0F00, 0)))
    write('text.jpg', b'Not a picture at all, only a few words of text.\n' * 4)


def quarters(width, height):
    """The upright picture of the orientation JPEGs: red, green, blue and yellow quarters."""
    colours = ((230, 30, 30), (30, 200, 30), (30, 30, 230), (240, 220, 20))
    return [[colours[(2 if y >= height // 2 else 0) + (1 if x >= width // 2 else 0)]
             for x in range(width)] for y in range(height)]


def stored(rows, orientation):
    """The rows a camera stores for a picture that `orientation` turns upright as `rows`."""
    h, w = len(rows), len(rows[0])
    quarter = orientation >= 5
    sw, sh = (h, w) if quarter else (w, h)
    flip_x = orientation in (2, 3, 7, 8)
    flip_y = orientation in (3, 4, 6, 7)
    out = [[None] * sw for _ in range(sh)]
    for y in range(h):
        for x in range(w):
            sx, sy = (y, x) if quarter else (x, y)
            if flip_x:
                sx = sw - 1 - sx
            if flip_y:
                sy = sh - 1 - sy
            out[sy][sx] = rows[y][x]
    return out


def exif(orientation, little):
    """An APP1 segment holding an EXIF block with one tag, the orientation."""
    e = '<' if little else '>'
    tiff = (b'II' if little else b'MM') + struct.pack(e + 'HI', 42, 8)
    tiff += struct.pack(e + 'H', 2)
    tiff += struct.pack(e + 'HHI', 0x010F, 2, 4) + b'Cam\0'  # a maker's name before it
    tiff += struct.pack(e + 'HHIHH', 0x0112, 3, 1, orientation, 0)
    tiff += struct.pack(e + 'I', 0)
    body = b'Exif\0\0' + tiff
    return b'\xFF\xE1' + struct.pack('>H', len(body) + 2) + body


def jpegs(out):
    convert = shutil.which('convert')
    if convert is None:
        sys.exit('make_pictures.py: ImageMagick\'s convert is needed for the JPEGs')
    upright = quarters(48, 32)
    with tempfile.TemporaryDirectory() as tmp:
        for orientation in range(1, 9):
            rows = stored(upright, orientation)
            ppm = os.path.join(tmp, 'in.ppm')
            with open(ppm, 'wb') as f:
                f.write(b'P6 %d %d 255\n' % (len(rows[0]), len(rows)))
                f.write(b''.join(bytes(p) for row in rows for p in row))
            jpg = os.path.join(tmp, 'out.jpg')
            subprocess.run([convert, ppm, '-strip', '-quality', '95', '-sampling-factor', '1x1',
                            jpg], check=True)
            with open(jpg, 'rb') as f:
                data = f.read()
            # The EXIF block goes right after the start of the image, as cameras write it.
            data = data[:2] + exif(orientation, little=orientation % 2 == 0) + data[2:]
            with open(os.path.join(out, f'orient-{orientation}.jpg'), 'wb') as f:
                f.write(data)
            if orientation == 1:
                # Frame headers of kinds the program does not show: the sample size, the coding.
                sof = data.index(b'\xFF\xC0')
                for name, marker, precision in (('jpeg12', 0xC1, 12), ('arithmetic', 0xC9, 8),
                                                ('lossless', 0xC3, 8)):
                    variant = bytearray(data)
                    variant[sof + 1] = marker
                    variant[sof + 4] = precision
                    with open(os.path.join(out, f'{name}.jpg'), 'wb') as f:
                        f.write(variant)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def put(name, data, expected):
        with open(os.path.join(out, name + '.bmp'), 'wb') as f:
            f.write(data)
        with open(os.path.join(out, name + '.expected.bmp'), 'wb') as f:
            f.write(wallpaper(expected))

    palette_variants(put)
    rle_variants(put)
    direct_variants(put)
    refused(out)
    jpegs(out)


if __name__ == '__main__':
    main()
