"""The files that the build and the tests' generators write: BMP files, and the payload container
(the writer of pack.py). Scripts elsewhere in the tree import it with tools/ on their path."""
import struct

from pack import SIGNATURE, container, pack  # noqa: F401  (the container writer, for the importers)


def bmp(width, height, bit_count, rows, palette=()):
    """A bottom-up BI_RGB BMP with a 40-byte info header. rows: the pixel bytes of each row, top row
    first (the padding to 4 bytes is added here); palette: (r, g, b) entries, all counted in
    biClrUsed."""
    stride = (width * bit_count + 31) // 32 * 4
    pixels = b"".join(bytes(row).ljust(stride, b"\0") for row in reversed(rows))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0, len(pixels), 2835, 2835,
                       len(palette), 0)
    return header + info + table + pixels


def bmp_of(width, height, bit_count, pixel, palette=()):
    """The same, drawn by pixel(x, y) (y = 0 the top row): an index for 8 bits, (r, g, b) for 24."""
    def row(y):
        if bit_count == 8:
            return bytes(pixel(x, y) for x in range(width))
        return b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in (pixel(x, y) for x in range(width)))
    return bmp(width, height, bit_count, [row(y) for y in range(height)], palette)
