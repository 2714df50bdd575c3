"""Writes a small 24-bit BMP (3 x 2 pixels, padded rows) for the resource compiler test input."""
import struct
import sys

WIDTH, HEIGHT = 3, 2
stride = (WIDTH * 3 + 3) & ~3
pixels = bytearray()
for y in range(HEIGHT):
    row = bytearray()
    for x in range(WIDTH):
        row += bytes((10 * x + y, 20 * x + 1, 30 + y))
    pixels += row + b"\0" * (stride - len(row))
info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
with open(sys.argv[1], "wb") as out:
    out.write(header + info + pixels)
