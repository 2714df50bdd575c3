#!/usr/bin/env python3
"""Writes the logo of the end-to-end test's "PeImage.res": 480 x 400 pixels, 24 bits, teal with
orange diagonal bands, so that a window showing it is easy to tell from one showing the shipped
logo. Keep the colours in step with LogoTest.cpp."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from formats import bmp_of  # noqa: E402

WIDTH, HEIGHT = 480, 400
TEAL = (0, 128, 128)
ORANGE = (255, 140, 0)


def colour(x, y):
    return ORANGE if ((x + y) // 40) % 2 else TEAL


def main():
    Path(sys.argv[1]).write_bytes(bmp_of(WIDTH, HEIGHT, 24, colour))


if __name__ == "__main__":
    main()
