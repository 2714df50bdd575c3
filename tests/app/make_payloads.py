#!/usr/bin/env python3
"""Writes the payload resources of the update tests: a container and the plain bytes it inflates
to, a damaged container, and one that announces more bytes than it holds."""
import struct
import sys
import zlib

folder = sys.argv[1]
plain = bytes((i * 7 + (i >> 8) * 13) & 0xFF for i in range(200000)) + b"MZ-tail"
packed = zlib.compress(plain, 9)
header = b"ZLIBCompress\x1a"
files = {
    "plain.bin": plain,
    "container.bin": header + struct.pack("<I", len(plain)) + packed,
    "damaged.bin": header + struct.pack("<I", len(plain)) + packed[:2] + bytes(b ^ 0x55 for b in packed[2:200]) + packed[200:],
    "short.bin": header + struct.pack("<I", len(plain) + 10) + packed,
}
for name, content in files.items():
    with open(f"{folder}/{name}", "wb") as f:
        f.write(content)
