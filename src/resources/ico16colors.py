#!/usr/bin/env python3
"""Writes a Windows .ico of 4-bit (16-colour) bitmap images from raw RGBA
pixel files: the smallest form every Windows version reads (PNG-compressed
icon images need Windows Vista or later).

usage: ico16colors.py OUT.ico SIZE:FILE.rgba [SIZE:FILE.rgba ...]
"""
import struct
import sys


def image(size, rgba):
    pixels = [rgba[i:i + 4] for i in range(0, len(rgba), 4)]
    assert len(pixels) == size * size
    palette = []
    indices = []
    for r, g, b, a in pixels:
        colour = (0, 0, 0) if a < 128 else (r, g, b)
        if colour not in palette:
            palette.append(colour)
        indices.append(palette.index(colour))
    if len(palette) > 16:
        sys.exit("more than 16 colours in the %dx%d drawing" % (size, size))
    palette += [(0, 0, 0)] * (16 - len(palette))
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bitmaps are stored bottom-up
        row = indices[y * size:(y + 1) * size]
        packed = bytearray((row[x] << 4) | (row[x + 1] if x + 1 < size else 0)
                           for x in range(0, size, 2))
        xor += packed + bytes(xor_stride - len(packed))
        bits = bytearray(and_stride)
        for x in range(size):
            if pixels[y * size + x][3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(mask)


def main():
    out = sys.argv[1]
    images = []
    for item in sys.argv[2:]:
        size, path = item.split(':', 1)
        images.append((int(size), image(int(size), open(path, 'rb').read())))
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in images:
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(body), offset)
        offset += len(body)
    data += b''.join(body for _, body in images)
    open(out, 'wb').write(data)


main()
