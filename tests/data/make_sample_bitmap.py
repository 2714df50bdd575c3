"""Writes a small 24-bit BMP (3 x 2 pixels, padded rows) for the resource compiler test input."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from formats import bmp_of  # noqa: E402

# Row y = 0 is the bottom row.
sample = bmp_of(3, 2, 24, lambda x, y: (30 + (1 - y), 20 * x + 1, 10 * x + (1 - y)))
Path(sys.argv[1]).write_bytes(sample)
