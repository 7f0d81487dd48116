"""What the X server shows, and the page's layout, for the end-to-end tests."""
import os
import struct
import subprocess
import time
import zlib


def wait_until(test, seconds=15):
    """test() polled every tenth of a second until it gives something true; that, or None at the time limit."""
    end = time.time() + seconds
    while time.time() < end:
        value = test()
        if value:
            return value
        time.sleep(0.1)
    return None


def canvas_origin(geometry):
    """Where the canvas starts on the screen, from the window's client
    geometry (xdotool's --shell words) at 1x: below the menu bar, whatever
    its height in the desktop's font, and the 30-pixel toolbar."""
    return int(geometry["X"]), int(geometry["Y"]) + int(geometry["HEIGHT"]) - 440 + 30


def screen_pixel(x, y, work):
    """The red, green and blue of the screen at (x, y); work is a scratch folder."""
    shot = os.path.join(work, "screen.png")
    subprocess.run(["import", "-window", "root", shot], check=True)
    out = subprocess.run(["convert", shot, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True)
    # "0,0: (255,255,0)  #FFFF00  yellow"
    values = out.stdout.splitlines()[-1].split("(")[1].split(")")[0]
    return tuple(int(float(v)) for v in values.split(",")[:3])


def read_png(path):
    """Minimal PNG reader: 8-bit RGB, filter None only (what vornel writes)."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, chunks = 8, b"", []
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        chunks.append(kind.decode())
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        if kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    rows, stride = [], width * 3 + 1
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        assert row[0] == 0, "row %d is filtered" % y
        rows.append(row[1:])
    return width, height, [c for i, c in enumerate(chunks) if i == 0 or chunks[i - 1] != c], rows


def page_offset(x, y):
    """Where pixel (x, y) is in a 1024-byte page: two rows a byte, the upper in the low nibble."""
    row = y // 2
    return 0x80 * (row % 8) + 0x28 * (row // 8) + x


def page_pixel(page, x, y):
    b = page[page_offset(x, y)]
    return (b >> 4) & 15 if y & 1 else b & 15


def page_plot(page, x, y, colour):
    at = page_offset(x, y)
    page[at] = (page[at] & 0x0F) | colour << 4 if y & 1 else (page[at] & 0xF0) | colour


def page_pixels(page):
    """The 1920 colour numbers, row by row (the screen holes left out)."""
    return [page_pixel(page, x, y) for y in range(48) for x in range(40)]
