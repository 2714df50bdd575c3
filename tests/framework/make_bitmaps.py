"""Writes the framework tests' bitmap resources: an 8-bit glyph and a small 24-bit picture."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from formats import bmp_of  # noqa: E402


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

    (out / "glyph8.bmp").write_bytes(bmp_of(16, 16, 8, glyph, palette))
    (out / "photo24.bmp").write_bytes(bmp_of(40, 30, 24, lambda x, y: (x * 6, y * 8, 128)))


if __name__ == "__main__":
    main()
