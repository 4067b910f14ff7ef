#!/usr/bin/env python3
"""Draws the tab strip's pictures of KQ as PNG strips (one 16 x 16 frame after another, left to right).

Run from anywhere: python3 resources/make_tab_images.py. It rewrites resources/tab-images/*.png, which
resources/U_Main.rc embeds; commit the script and the pictures together.
"""

import math
import os
import struct
import zlib

SIZE = 16
SPINNER_FRAMES = 12
SPINNER_SWEEP = 135.0  # degrees, as the rendered spinners draw it
SAMPLES = 4            # per pixel and axis, for smooth edges

# Colours as (red, green, blue); the spinners take the strip's rendered spinner colours.
PAGE_BLUE = (52, 120, 196)
PAGE_LIGHT = (214, 232, 250)
BADGE_GREEN = (46, 160, 67)
WHITE = (255, 255, 255)
UPLOAD = (167, 179, 194)
DOWNLOAD = (72, 138, 219)


def png(width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples, top row first."""
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def frame(cover):
    """One frame from cover(x, y) -> (colour, coverage 0..1) sampled over each pixel."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour, alpha = cover(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
                    r += colour[0] * alpha
                    g += colour[1] * alpha
                    b += colour[2] * alpha
                    a += alpha
            n = SAMPLES * SAMPLES
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(row)
    return rows


def strip(frames):
    rows = [sum((f[y] for f in frames), []) for y in range(SIZE)]
    return png(SIZE * len(frames), SIZE, rows)


def page(x, y):
    # A sheet with a folded corner and three text lines.
    left, top, right, bottom, fold = 3.0, 1.5, 13.0, 14.5, 4.0
    if not (left <= x <= right and top <= y <= bottom) or x - (right - fold) > y - top:
        return WHITE, 0.0
    border = x < left + 1 or x > right - 1 or y < top + 1 or y > bottom - 1 or abs((x - (right - fold)) - (y - top)) < 1
    if border:
        return PAGE_BLUE, 1.0
    if 5.0 <= x <= 11.0 and any(line <= y <= line + 1 for line in (7.0, 9.5, 12.0)):
        return PAGE_BLUE, 1.0
    return PAGE_LIGHT, 1.0


def badge(x, y):
    # A dot in the lower right corner with a white rim, so it shows on any picture.
    d = math.hypot(x - 11.5, y - 11.5)
    if d <= 3.0:
        return BADGE_GREEN, 1.0
    if d <= 4.25:
        return WHITE, 1.0
    return WHITE, 0.0


def spinner(colour, start):
    def cover(x, y):
        d = math.hypot(x - SIZE / 2, y - SIZE / 2)
        if not 4.75 <= d <= 7.25:
            return colour, 0.0
        angle = math.degrees(math.atan2(y - SIZE / 2, x - SIZE / 2)) % 360
        return colour, 1.0 if (angle - start) % 360 <= SPINNER_SWEEP else 0.0
    return cover


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tab-images")
    os.makedirs(out, exist_ok=True)
    pictures = {
        "tab-images.png": [frame(page)],
        "tab-overlays.png": [frame(badge)],
        "spinner-upload.png": [frame(spinner(UPLOAD, i * 360 / SPINNER_FRAMES)) for i in range(SPINNER_FRAMES)],
        "spinner-download.png": [frame(spinner(DOWNLOAD, i * 360 / SPINNER_FRAMES)) for i in range(SPINNER_FRAMES)],
    }
    for name, frames in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(strip(frames))


if __name__ == "__main__":
    main()
