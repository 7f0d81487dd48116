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
ICONS = os.path.join(HERE, "..", "data", "icons")

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


# --- the program icon: a mosaic of lores blocks on a dark tile ----------------
# One drawing, in the unit square: four by four blocks in lores colours with
# dark seams, one block picked out by a white frame as the editor highlights
# the cell under the pointer. The PNGs and BMPs sample it; the SVG states it.
TILE_COLOUR, FRAME_COLOUR = (24, 24, 40), (255, 255, 255)
MOSAIC = [  # lores colour numbers, top row first
    [2, 6, 7, 14],
    [3, 11, 13, 12],
    [1, 9, 13, 4],
    [8, 1, 3, 2],
]
LORES_RGB = {1: (204, 0, 51), 2: (0, 0, 153), 3: (204, 51, 204), 4: (0, 102, 51), 6: (51, 51, 255),
             7: (102, 153, 255), 8: (153, 102, 0), 9: (255, 102, 0), 11: (255, 153, 153), 12: (0, 204, 0),
             13: (255, 255, 0), 14: (51, 255, 153)}
MOSAIC_LEFT, MOSAIC_SIZE, SEAM = 0.10, 0.80, 0.025
FRAMED, FRAME = (2, 1), 0.05  # the highlighted block (column, row) and its frame's width


def block_rect(column, row):
    """A block's square in the unit square: left, top, right, bottom."""
    step = MOSAIC_SIZE / 4
    left, top = MOSAIC_LEFT + column * step, MOSAIC_LEFT + row * step
    return left + SEAM / 2, top + SEAM / 2, left + step - SEAM / 2, top + step - SEAM / 2


def program_icon_rows(size):
    """The drawing sampled at size x size pixels: rows of (r, g, b)."""
    def colour_at(u, v):  # u, v in 0..1
        fl, ft, fr, fb = block_rect(*FRAMED)
        if fl - FRAME <= u < fr + FRAME and ft - FRAME <= v < fb + FRAME and not (fl <= u < fr and ft <= v < fb):
            return FRAME_COLOUR
        for row in range(4):
            for column in range(4):
                l, t, r, b = block_rect(column, row)
                if l <= u < r and t <= v < b:
                    return LORES_RGB[MOSAIC[row][column]]
        return TILE_COLOUR

    return [[colour_at((x + 0.5) / size, (y + 0.5) / size) for x in range(size)] for y in range(size)]


def program_icon_png(size):
    raw = bytearray()
    for row in program_icon_rows(size):
        raw.append(0)
        for colour in row:
            raw += bytes(colour + (255,))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def program_icon_bmp(size):
    """The same pixels as a 24-bit BMP: the window's icon, which the program
    reads with its own small reader rather than the PNG library."""
    stride = (3 * size + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(program_icon_rows(size)):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    return header + info + bytes(pixels)


def program_icon_svg():
    """The same drawing as the PNGs, in a 256-unit square."""
    k = 256.0
    hex_colour = lambda c: "#%02x%02x%02x" % c
    square = lambda l, t, r, b, c: '<rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>' % (
        l * k, t * k, (r - l) * k, (b - t) * k, hex_colour(c))
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
             square(0, 0, 1, 1, TILE_COLOUR)]
    fl, ft, fr, fb = block_rect(*FRAMED)
    parts.append(square(fl - FRAME, ft - FRAME, fr + FRAME, fb + FRAME, FRAME_COLOUR))
    for row in range(4):
        for column in range(4):
            parts.append(square(*block_rect(column, row), LORES_RGB[MOSAIC[row][column]]))
    parts += ['</svg>', '']
    return "\n".join(parts).encode()


def write(name, data, folder=None):
    with open(os.path.join(folder or ASSETS, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(ASSETS, exist_ok=True)
    write("startup_picture.bin", startup_page())
    for name, rows in (("icon_line.bmp", LINE), ("icon_circle.bmp", CIRCLE), ("icon_fill.bmp", FILL),
                       ("icon_undo.bmp", UNDO), ("icon_pen.bmp", PEN)):
        write(name, bmp(rows))
    for size in (16, 32, 96):
        write("program_icon_%d.bmp" % size, program_icon_bmp(size))
    # The icons a desktop's menus and launchers use, installed from data/.
    os.makedirs(ICONS, exist_ok=True)
    for size in (16, 32, 48, 64, 128, 256):
        write("vornel-%d.png" % size, program_icon_png(size), ICONS)
    write("vornel.svg", program_icon_svg(), ICONS)


if __name__ == "__main__":
    main()
