"""Writes the framework tests' bitmap resources: an 8-bit glyph and a small 24-bit picture."""
import struct
import sys
from pathlib import Path


def bmp(width, height, bit_count, palette, pixel):
    """A bottom-up BI_RGB BMP; pixel(x, y) gives an index (8 bits) or (r, g, b) (24 bits)."""
    stride = (width * bit_count + 31) // 32 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            p = pixel(x, y)
            row += bytes([p]) if bit_count == 8 else bytes([p[2], p[1], p[0]])
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    table = b"".join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0, stride * height, 2835, 2835,
                       len(palette), 0)
    off = 14 + len(info) + len(table)
    data = b"".join(rows)
    return b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + info + table + data


def main():
    out = Path(sys.argv[1])
    # 16 x 16, 256 colours: magenta (index 5) around a red square (index 1) with a blue bar (2).
    palette = [(i, i, i) for i in range(256)]
    palette[1] = (255, 0, 0)
    palette[2] = (0, 0, 255)
    palette[5] = (255, 0, 255)

    def glyph(x, y):
        if 4 <= x < 12 and 4 <= y < 12:
            return 2 if y == 7 else 1
        return 5

    (out / "glyph8.bmp").write_bytes(bmp(16, 16, 8, palette, glyph))
    (out / "photo24.bmp").write_bytes(bmp(40, 30, 24, [], lambda x, y: (x * 6, y * 8, 128)))


if __name__ == "__main__":
    main()
