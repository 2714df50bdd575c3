#!/usr/bin/env python3
"""Writes the stand-in executable with some 24 MB appended after its image, still carrying its
version information: an update large enough to be stopped while it is being written.

usage: make_large_payload.py Pelano5.exe out.exe"""
import sys

SIZE = 24 * 1024 * 1024


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        image = f.read()
    # A pattern that changes every few bytes, so that no two copies of the target can be mistaken
    # for each other at any offset, yet compresses well enough to keep the updater small.
    tail = bytearray(SIZE)
    for i in range(0, SIZE, 4096):
        block = i.to_bytes(4, "little") * 1024
        tail[i:i + 4096] = block[:min(4096, SIZE - i)]
    with open(sys.argv[2], "wb") as f:
        f.write(image + bytes(tail))


if __name__ == "__main__":
    main()
