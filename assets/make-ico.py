#!/usr/bin/env python3
"""Writes a Windows icon file from square RGBA images: 4-bit images in the classic
16-colour palette (what every Windows draws) and 32-bit images with alpha (the
sizes of higher DPI settings; 256 as PNG, as Windows Vista and later read it).

Usage: make-ico.py OUT.ico SPEC...   SPEC is 4:FILE.rgba:SIZE, 32:FILE.rgba:SIZE or
png:FILE.png:256; a .rgba file holds SIZE x SIZE pixels of 4 bytes (ImageMagick's
rgba: output), top row first. A 4-bit image takes each colour's nearest palette
colour, without dithering; a pixel whose alpha is below 128 is transparent.
"""
import struct
import sys

# The 16 colours of the classic Windows palette, in its order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def nearest(colour):
    """The palette index of the colour, or of the closest palette colour."""
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], colour)))


def rows(data, size):
    """The pixels as rows of (r, g, b, a), bottom row first (the BMP order)."""
    if len(data) != size * size * 4:
        sys.exit(f"make-ico: {size}x{size} RGBA needs {size * size * 4} bytes, got {len(data)}")
    out = []
    for y in range(size):
        row = data[y * size * 4:(y + 1) * size * 4]
        out.append([tuple(row[x * 4:x * 4 + 4]) for x in range(size)])
    return out[::-1]


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def and_mask(pixels, size):
    mask = b""
    for row in pixels:
        bits = bytearray((size + 7) // 8)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(bits))
    return mask


def header(size, bits):
    # BITMAPINFOHEADER; the height counts the colour image and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                       16 if bits == 4 else 0, 0)


def four_bit(data, size):
    pixels = rows(data, size)
    image = b""
    for row in pixels:
        indices = []
        for r, g, b, a in row:
            if a < 128:
                indices.append(0)
                continue
            indices.append(nearest((r, g, b)))
        if len(indices) % 2:
            indices.append(0)
        image += padded(bytes(indices[i] << 4 | indices[i + 1] for i in range(0, len(indices), 2)))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header(size, 4) + palette + image + and_mask(pixels, size), 16, 4


def thirty_two_bit(data, size):
    pixels = rows(data, size)
    image = b"".join(struct.pack("<BBBB", b, g, r, a) for row in pixels for r, g, b, a in row)
    return header(size, 32) + image + and_mask(pixels, size), 0, 32


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    entries = []
    for spec in sys.argv[2:]:
        kind, path, size = spec.split(":")
        size = int(size)
        with open(path, "rb") as f:
            data = f.read()
        if kind == "4":
            entries.append((size,) + four_bit(data, size))
        elif kind == "32":
            entries.append((size,) + thirty_two_bit(data, size))
        elif kind == "png":
            entries.append((size, data, 0, 32))
        else:
            sys.exit(f"make-ico: unknown kind {kind}")
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, image, colours, bits in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    out += b"".join(image for _, image, _, _ in entries)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


main()
