"""Draws the program's icon, two beamed eighth notes, as a 16-colour .ico: a 32 x 32 and a
16 x 16 image (the larger one is the smaller one doubled), then 20, 24, 28, 36, 40 and 48
pixel ones for screens above 96 dpi, where the tray takes an icon of 16 pixels times the scale
(20 at 125 %, 24 at 150 %, 28 at 175 %, 32 at 200 %, 36 at 225 %, 40 at 250 %, 48 at 300 %) and
the desktop a 40 or 48 pixel one (each the 16 pixel drawing enlarged pixel by pixel).

  /usr/bin/python3 tools/make_icon.py app/cantivo.ico
"""

import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255),
    (255, 255, 255),
]
COLOURS = {"N": 4, "B": 12, "C": 14, "W": 15}  # navy outline, blue fill, cyan light, white shine

NOTES_16 = [
    "................",
    ".....NNNNNNNNN..",
    ".....NBBBBBBBN..",
    ".....NNNNNNNNN..",
    ".....NC......NC.",
    ".....NC......NC.",
    ".....NC......NC.",
    ".....NC......NC.",
    ".....NC......NC.",
    "..NNNNC...NNNNC.",
    ".NBWBNC..NBWBNC.",
    ".NBBBNC..NBBBNC.",
    ".NBBBN...NBBBN..",
    "..NNN.....NNN...",
    "................",
    "................",
]


def doubled(rows):
    return ["".join(c * 2 for c in row) for row in rows for _ in (0, 1)]


def scaled(rows, size):
    """The drawing enlarged to size x size, each pixel taken from the one it falls on."""
    old = len(rows)
    return ["".join(rows[y * old // size][x * old // size] for x in range(size)) for y in range(size)]


def image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # bottom-up
        indices = [COLOURS.get(c, 0) for c in row]
        packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))  # sizes are even
        xor_rows.append(packed + b"\0" * (-len(packed) % 4))
        bits = "".join("1" if c == "." else "0" for c in row)
        bits += "0" * (-len(bits) % 8)
        mask = int(bits, 2).to_bytes(len(bits) // 8, "big")
        and_rows.append(mask + b"\0" * (-len(mask) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main(path):
    # The first two as they always were, byte for byte; the larger screens' ones after them.
    images = [(32, image(doubled(NOTES_16))), (16, image(NOTES_16))]
    images += [(size, image(scaled(NOTES_16, size))) for size in (20, 24, 28, 36, 40, 48)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, bitmap in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(bitmap), offset + len(data))
        data += bitmap
    with open(path, "wb") as f:
        f.write(directory + entries + data)


if __name__ == "__main__":
    main(sys.argv[1])
