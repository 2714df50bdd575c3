#!/usr/bin/env python3
"""Packs a file into the payload container: "ZLIBCompress", 0x1A, the uncompressed size as 32-bit
little-endian, then one zlib stream at maximum compression (header 78 DA).

usage: pack.py FILE CONTAINER"""
import struct
import sys
import zlib

SIGNATURE = b"ZLIBCompress\x1a"


def container(stream: bytes, size: int) -> bytes:
    """The signature, size as the uncompressed size, then stream (a test may give any bytes)."""
    return SIGNATURE + struct.pack("<I", size) + stream


def pack(data: bytes) -> bytes:
    if not 0 < len(data) < 2**31:
        raise ValueError("payload size must be 1 to 2,147,483,647 bytes")
    return container(zlib.compress(data, 9), len(data))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        container = pack(data)
    except ValueError as error:
        sys.exit(f"pack: {sys.argv[1]}: {error}")
    with open(sys.argv[2], "wb") as f:
        f.write(container)


if __name__ == "__main__":
    main()
