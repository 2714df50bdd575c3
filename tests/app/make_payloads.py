#!/usr/bin/env python3
"""Writes the payload resources of the update tests: a container and the plain bytes it inflates
to, a damaged container, and one that announces more bytes than it holds."""
import sys
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from formats import container, pack  # noqa: E402

folder = Path(sys.argv[1])
plain = bytes((i * 7 + (i >> 8) * 13) & 0xFF for i in range(200000)) + b"MZ-tail"
packed = zlib.compress(plain, 9)
files = {
    "plain.bin": plain,
    "container.bin": pack(plain),
    "damaged.bin": container(packed[:2] + bytes(b ^ 0x55 for b in packed[2:200]) + packed[200:], len(plain)),
    "short.bin": container(packed, len(plain) + 10),
}
for name, content in files.items():
    (folder / name).write_bytes(content)
