#!/usr/bin/env python3
"""Draws the application icon: a blue shield carrying a white padlock.

Writes one 256 x 256, 32-bit RGBA image stored as PNG inside a Windows icon
file (the form icon group 101 takes). The output depends on nothing but this
script, so running it again gives the same bytes:

    python3 runner/resources/make_app_icon.py runner/resources/app_icon.ico
"""
import math
import struct
import sys
import zlib

SIZE = 256
SAMPLES = 4  # per axis, for smooth edges

NAVY = (11, 38, 84)
BLUE_TOP = (46, 134, 240)
BLUE_BOTTOM = (14, 70, 160)
WHITE = (250, 252, 255)


def in_shield(x, y, inset):
    """Shield outline in unit coordinates, shrunk by |inset|."""
    top, shoulder, bottom, half = 0.08 + inset, 0.52, 0.94 - inset * 1.6, 0.38 - inset
    if y < top or y > bottom or half <= 0:
        return False
    dx = abs(x - 0.5)
    # A shallow notch in the middle of the top edge.
    if y < top + 0.05 * (1.0 - min(dx / half, 1.0) ** 2):
        return False
    if y <= shoulder:
        return dx <= half
    t = (y - shoulder) / (bottom - shoulder)
    return dx <= half * math.sqrt(max(0.0, 1.0 - t * t))


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return left <= x <= right and top <= y <= bottom and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_padlock(x, y):
    body = in_rounded_rect(x, y, 0.34, 0.46, 0.66, 0.72, 0.035)
    # The shackle: a half ring above the body with legs reaching into it.
    cx, cy, outer, inner = 0.5, 0.40, 0.115, 0.07
    r = math.hypot(x - cx, y - cy)
    shackle = inner <= r <= outer and y <= cy
    legs = y >= cy and y <= 0.47 and inner <= abs(x - cx) <= outer
    return body or shackle or legs


def in_keyhole(x, y):
    head = math.hypot(x - 0.5, y - 0.565) <= 0.032
    slot = abs(x - 0.5) <= 0.014 and 0.565 <= y <= 0.655
    return head or slot


def pixel_colour(x, y):
    """Colour with alpha (0..1) of one sample point, or None if transparent."""
    if not in_shield(x, y, 0.0):
        return None
    if not in_shield(x, y, 0.03):
        return NAVY
    if in_padlock(x, y):
        return NAVY if in_keyhole(x, y) else WHITE
    t = (y - 0.1) / 0.8
    return tuple(round(a + (b - a) * min(max(t, 0.0), 1.0)) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter type: none
        for px in range(SIZE):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = pixel_colour((px + (sx + 0.5) / SAMPLES) / SIZE,
                                          (py + (sy + 0.5) / SAMPLES) / SIZE)
                    if colour is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if hits:
                row += bytes([round(acc[0] / hits), round(acc[1] / hits), round(acc[2] / hits),
                              round(255 * hits / (SAMPLES * SAMPLES))])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def png(raw):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(image):
    # One directory entry; width and height 0 mean 256.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_app_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(ico(png(render())))


if __name__ == "__main__":
    main()
