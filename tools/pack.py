#!/usr/bin/env python3
"""Packs an executable into the payload container: "ZLIBCompress", 0x1A, the uncompressed size as
32-bit little-endian, then one zlib stream at maximum compression (header 78 DA).

Refuses to pack when the executable's product version (major.minor.release) is not the version in
the 8-byte update version record, so the updater can never ship a payload it would misdescribe."""
import argparse
import struct
import sys
import zlib

SIGNATURE = b"ZLIBCompress\x1a"
VERSION_INFO_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


def product_version(image: bytes):
    # The signature value alone may occur anywhere (in code, in data); only the one that follows
    # the VS_VERSION_INFO header is the version resource's. The header is wLength, wValueLength,
    # wType and the key, so VS_FIXEDFILEINFO starts 40 bytes after it.
    at = image.find(VERSION_INFO_KEY)
    while at >= 6:
        fixed = at - 6 + 40
        if len(image) - fixed >= 52 and struct.unpack_from("<I", image, fixed)[0] == FIXED_FILE_INFO_SIGNATURE:
            # VS_FIXEDFILEINFO: signature, struct version, file MS/LS, product MS/LS, ...
            product_ms, product_ls = struct.unpack_from("<II", image, fixed + 16)
            return (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF)
        at = image.find(VERSION_INFO_KEY, at + 1)
    return None


def pack(data: bytes) -> bytes:
    if not 0 < len(data) < 2**31:
        raise ValueError("payload size must be 1 to 2,147,483,647 bytes")
    return SIGNATURE + struct.pack("<I", len(data)) + zlib.compress(data, 9)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("executable")
    parser.add_argument("container")
    parser.add_argument("--version-record", help="8-byte record the payload's product version must match")
    args = parser.parse_args()
    with open(args.executable, "rb") as f:
        data = f.read()
    if args.version_record:
        with open(args.version_record, "rb") as f:
            record = f.read()
        if len(record) != 8:
            sys.exit(f"pack: {args.version_record} is not an 8-byte version record")
        major, minor, release, _ = struct.unpack("<4H", record)
        found = product_version(data)
        if found is None or found[:3] != (major, minor, release):
            sys.exit(f"pack: product version of {args.executable} is {found}, "
                     f"the update version record says {major}.{minor}.{release}")
    with open(args.container, "wb") as f:
        f.write(pack(data))


if __name__ == "__main__":
    main()
