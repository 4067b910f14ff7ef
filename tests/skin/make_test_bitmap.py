#!/usr/bin/env python3
"""Writes the skin tests' bitmap resource: a 24-bit BMP, 3 x 2 pixels, red green blue over white grey black."""
import struct
import sys

rows_top_down = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)], [(255, 255, 255), (128, 128, 128), (0, 0, 0)]]
stride = (3 * 3 + 3) & ~3
pixels = b"".join(bytes(c for r, g, b in row for c in (b, g, r)).ljust(stride, b"\0") for row in reversed(rows_top_down))
info = struct.pack("<IiiHHIIiiII", 40, 3, 2, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
with open(sys.argv[1], "wb") as f:
    f.write(header + info + pixels)
