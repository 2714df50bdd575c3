#!/usr/bin/env python3
"""Writes the RIFF palettes that the imaging tests embed as resources of type "Palette"."""
import struct
import sys


def riff_palette(entries, form=b"RIFF", chunk=b"PAL data"):
    record = struct.pack("<HH", 0x0300, len(entries)) + b"".join(bytes(e) for e in entries)
    return form + struct.pack("<I", 12 + len(record)) + chunk + struct.pack("<I", len(record)) + record


def test_entries():
    # Keep in step with ResourceEntry() in PaletteTest.cpp.
    return [(10 + i * 15, 200 - i * 11, 33 + i * 13, 4 if i % 2 else 0) for i in range(16)]


def main():
    good, broken = sys.argv[1:3]
    with open(good, "wb") as f:
        f.write(riff_palette(test_entries()))
    with open(broken, "wb") as f:
        f.write(riff_palette(test_entries(), form=b"RIFX"))


if __name__ == "__main__":
    main()
