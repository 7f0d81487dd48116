#!/usr/bin/env python3
"""An import holds memory near the decoded picture: a PNG of 3960x4032
pixels (inside the 16-million-pixel limit), every pixel a colour of its
own, imported by `vornel --import-png` at a peak resident size of at most
2.5 times its decoded RGBA size.

  import_memory_test.py VORNEL
"""
import os
import resource
import struct
import subprocess
import sys
import tempfile
import zlib

VORNEL = sys.argv[1]
WIDTH, HEIGHT = 3960, 4032


def write_png(path):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    compressor = zlib.compressobj(1)
    parts = []
    for y in range(HEIGHT):
        first = y * WIDTH
        row = bytearray(1 + 3 * WIDTH)  # filter byte None, then RGB
        for x in range(WIDTH):
            c = first + x  # every pixel a colour of its own
            row[1 + 3 * x:4 + 3 * x] = bytes(((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF))
        parts.append(compressor.compress(bytes(row)))
    parts.append(compressor.flush())
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", b"".join(parts)))
        f.write(chunk(b"IEND", b""))


def main():
    work = tempfile.mkdtemp(prefix="vornel-memory-")
    png, page = os.path.join(work, "many.png"), os.path.join(work, "many.page")
    try:
        write_png(png)
        out = subprocess.run([VORNEL, "--import-png", png, page], capture_output=True, text=True)
        peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        decoded_kib = WIDTH * HEIGHT * 4 // 1024
        ratio = peak_kib / decoded_kib
        print("import of %dx%d distinct colours: exit %d, peak %d KiB, decoded RGBA %d KiB, ratio %.2f"
              % (WIDTH, HEIGHT, out.returncode, peak_kib, decoded_kib, ratio))
        print(out.stderr.strip())
        ok = out.returncode == 0 and os.path.getsize(page) == 1024 and ratio <= 2.5
        print("1 passed, 0 failed" if ok else "0 passed, 1 failed")
        sys.exit(0 if ok else 1)
    finally:
        for name in (png, page):
            if os.path.exists(name):
                os.unlink(name)
        os.rmdir(work)


if __name__ == "__main__":
    main()
