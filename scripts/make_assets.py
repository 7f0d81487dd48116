#!/usr/bin/env python3
"""Builds the files in assets/ from the tables they were designed as.

Run once by hand (python3 scripts/make_assets.py); the results are committed
and embedded into the program at build time. Re-running gives identical bytes.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.join(HERE, "..", "assets")

# --- the startup picture -----------------------------------------------------
# Pixel rows top first, one hex digit a pixel (colour number).
APPLE_ROWS = """
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000044000000000000000
00000000000000000000004C4000000000000000
0000000000000000000004CC4000000000000000
000000000000000000000CCC4000000000000000
000000000000000000004CCC0000000000000000
00000000000000000000CCC40000000000000000
00000000000000000000CCC40000000000000000
00000000000000000000CCC00000000000000000
00000000000000000000CC000000000000000000
0000000000000004440040044400000000000000
000000000000004CCC40004CCC40000000000000
00000000000004CCCCCC4CCCCCC4000000000000
0000000000004CCCCCCCCCCCCCCC400000000000
0000000000004CCCCCCCCCCCCCCC400000000000
000000000004CCCCCCCCCCCCCCCC400000000000
000000000009DDDDDDDDDDDDDDDD000000000000
00000000008DDDDDDDDDDDDDDDD9000000000000
00000000008DDDDDDDDDDDDDDDD0000000000000
00000000009DDDDDDDDDDDDDDD90000000000000
00000000009DDDDDDDDDDDDDDD80000000000000
0000000000899999999999999980000000000000
0000000000899999999999999980000000000000
0000000000899999999999999980000000000000
0000000000899999999999999980000000000000
0000000000811111111111111118000000000000
0000000000811111111111111118000000000000
0000000000081111111111111111000000000000
0000000000081111111111111111800000000000
0000000000081111111111111111180000000000
0000000000003333333333333333360000000000
0000000000006333333333333333300000000000
0000000000006333333333333333600000000000
0000000000000633333333333333000000000000
0000000000000633333333333336000000000000
0000000000000677777777777770000000000000
0000000000000067777767777760000000000000
0000000000000007777606777700000000000000
0000000000000006776000677600000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
0000000000000000000000000000000000000000
""".split()

# The eight screen-hole bytes of each 128-byte block, as the page always had them.
HOLES = [
    "0e ff 00 00 ff ff 1c 00",
    "04 ff 00 ff ff ff 00 00",
    "2e ff 00 00 ff ff 00 00",
    "60 ff 00 17 ff ff 00 00",
    "60 ff 00 00 ff ff 00 00",
    "02 ff 00 00 ff ff 00 00",
    "ff ff 00 00 ff ff 00 00",
    "00 ff 00 00 ff ff 00 00",
]


def row_base(r):
    return 128 * (r % 8) + 40 * (r // 8)


def startup_page():
    assert len(APPLE_ROWS) == 48 and all(len(row) == 40 for row in APPLE_ROWS)
    page = bytearray(1024)
    for y, row in enumerate(APPLE_ROWS):
        for x, digit in enumerate(row):
            c = int(digit, 16)
            at = row_base(y // 2) + x
            page[at] = (page[at] & 0x0F) | (c << 4) if y & 1 else (page[at] & 0xF0) | c
    for k, holes in enumerate(HOLES):
        page[128 * k + 120:128 * k + 128] = bytes.fromhex(holes)
    return bytes(page)


# --- the tool icons ----------------------------------------------------------
ICON_COLOURS = {
    ".": (234, 234, 234), "#": (0, 0, 0), "s": (192, 192, 192), "c": (0, 191, 191),
    "w": (255, 255, 255), "y": (255, 255, 0), "r": (191, 0, 0),
}

LINE = """
................ .##............. ..##............ ...##...........
....##.......... .....##......... ......##........ .......##.......
........##...... .........##..... ..........##.... ...........##...
............##.. .............##. ................ ................
""".split()
CIRCLE = """
................ ................ ................ .....#######....
...##sssssss##.. ..#sssssssssss#. .#sssssssssssss# .#sssssssssssss#
.#sssssssssssss# .#sssssssssssss# ..#sssssssssss#. ...##sssssss##..
.....#######.... ................ ................ ................
""".split()
FILL = """
................ ........##...... .......#w#...... ..###.#www##....
.###s#www#ww#... ###s#cccccc###.. ##s#cccccc#####. ##s##c#cc#####c#
###..#cc#####cc# ###..#c#####cc#. ###...#####cc#.. ###....###cc#...
.##.....#cc#.... .##......##..... ..#............. ................
""".split()
UNDO = """
................ .......####..... .....##....##... .#..#........#..
.###..........#. .###..........#. .####.........#. ..............#.
.............#.. ...........##... ................ #########.#.#.#.
#########.#.#.#. ................ ................
""".split()
PEN = """
........###..... .......#rrr#.... .......#rww#.... ......##rw#.....
......#y###..... .....#yws#...... .....#wy##...... ....#wys#.......
....#yw##....... ...#yws#........ ...##y##........ ...####.........
...###.......... ...##........... ...#............ ................
""".split()


def bmp(rows):
    """A 24-bit uncompressed bottom-up BMP of the character picture."""
    width, height = len(rows[0]), len(rows)
    stride = (3 * width + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for ch in row:
            r, g, b = ICON_COLOURS[ch]
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    return header + info + bytes(pixels)


# --- the program icon: a small apple on a dark tile, at three sizes ----------
def program_icon_png(size):
    def colour_at(u, v):  # u, v in 0..1
        dx, dy = u - 0.5, v - 0.58
        if (dx * dx) / 0.12 + (dy * dy) / 0.10 <= 1.0:
            bands = [(255, 255, 0), (255, 102, 0), (204, 0, 51), (204, 51, 204), (102, 153, 255)]
            band = min(4, max(0, int((v - 0.30) / 0.11)))
            return bands[band] + (255,)
        if abs(u - 0.55) < 0.06 and 0.12 < v < 0.32:
            return (0, 204, 0, 255)
        return (24, 24, 40, 255)

    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw += bytes(colour_at((x + 0.5) / size, (y + 0.5) / size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write(name, data):
    with open(os.path.join(ASSETS, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(ASSETS, exist_ok=True)
    write("startup_picture.bin", startup_page())
    for name, rows in (("icon_line.bmp", LINE), ("icon_circle.bmp", CIRCLE), ("icon_fill.bmp", FILL),
                       ("icon_undo.bmp", UNDO), ("icon_pen.bmp", PEN)):
        write(name, bmp(rows))
    for size in (16, 32, 96):
        write("program_icon_%d.png" % size, program_icon_png(size))


if __name__ == "__main__":
    main()
