#!/usr/bin/env python3
"""Writes DuvoPcmciaLoader.ico: a PC Card seen from the front, 32x32 and 16x16, 16 colours each.

Run once by hand when the picture changes; the .ico beside it is what the build uses.
"""
import struct
import sys

# The 16 colours of the standard Windows palette, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BODY, EDGE, LABEL, CONTACT, TEXT = 4, 0, 15, 11, 1  # navy, black, white, yellow, maroon


def card(size):
    """Rows top to bottom of palette indices; None is transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                px[y][x] = colour

    fill(2, 4, 30, 28, EDGE)
    fill(3, 5, 29, 27, BODY)
    fill(5, 8, 27, 18, LABEL)
    fill(7, 11, 25, 13, TEXT)
    fill(7, 14, 19, 16, TEXT)
    for x in range(5, 27, 4):
        fill(x, 21, x + 2, 25, CONTACT)
    return px


def image(size):
    px = card(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bottom-up
        nibbles = [c if c is not None else 0 for c in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b"\0" * (-len(xor) % 4))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is None else 0)
        mask = bits.to_bytes(size // 8, "big")
        and_rows.append(mask + b"\0" * (-len(mask) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main(path):
    images = [image(32), image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "DuvoPcmciaLoader.ico")
