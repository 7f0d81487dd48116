#!/usr/bin/env python3
"""End-to-end: the clipboard between two running programs under X.

Two vornel windows, driven by xdotool: a block cut in the first is pasted in
the second, hanging off its bottom-right corner, with the exact colour
numbers; what the cut offered is read by a program of another kind
(clipboard_peer), which then puts a PNG of its own there for the second
window to paste. The pages saved are compared with ones worked out here.
Run under xvfb-run.
"""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from screen import canvas_origin, page_pixel as pixel, page_plot as plot, wait_until

VORNEL, PEER = sys.argv[1], sys.argv[2]
failures = []
os.environ["XDG_STATE_HOME"] = tempfile.mkdtemp(prefix="vornel-state-")
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="vornel-config-")
work = tempfile.mkdtemp(prefix="vornel-clip-")


def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, check=True).stdout.strip()


def expect(what, got, wanted):
    print("%s %s: got %r, wanted %r" % ("ok  " if got == wanted else "FAIL", what, got, wanted), flush=True)
    if got != wanted:
        failures.append(what)


def colour(x, y):
    return (x + 3 * y) % 16


def png(width, height, rgb_rows):
    """An 8-bit RGB PNG, as any program might write one."""
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rgb_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


class Editor:
    def __init__(self, page_path, left):
        self.path = page_path
        self.proc = subprocess.Popen([VORNEL, page_path], cwd=work)
        found = wait_until(lambda: subprocess.run(["xdotool", "search", "--all", "--pid", str(self.proc.pid), "--name", "^Vornel"],
                                                  capture_output=True, text=True).stdout.split())
        if not found:
            raise RuntimeError("no window for " + page_path)
        self.window = found[0]
        time.sleep(0.8)
        xdo("windowmove", "--sync", self.window, left, 0)
        time.sleep(0.3)
        geometry = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", self.window).splitlines())
        self.cx, self.cy = canvas_origin(geometry)

    def focus(self):
        xdo("windowfocus", "--sync", self.window)
        time.sleep(0.2)

    def at(self, x, y):
        return self.cx + 16 * x + 5, self.cy + 8 * y + 3

    def move(self, x, y):
        xdo("mousemove", *self.at(x, y))
        time.sleep(0.15)

    def key(self, *keys):
        for k in keys:
            xdo("key", "--clearmodifiers", k)
            time.sleep(0.25)

    def save(self):
        before = os.path.getmtime(self.path)
        self.key("ctrl+s")
        if not wait_until(lambda: os.path.getmtime(self.path) != before, 10):
            raise RuntimeError("not saved: " + self.path)
        time.sleep(0.2)
        return bytearray(open(self.path, "rb").read())


a_path, b_path = os.path.join(work, "a.gr"), os.path.join(work, "b.gr")
first = bytearray(1024)
for y in range(48):
    for x in range(40):
        plot(first, x, y, colour(x, y))
open(a_path, "wb").write(first)
open(b_path, "wb").write(bytes(1024))
os.utime(a_path, (1, 1))
os.utime(b_path, (1, 1))

editors, peer = [], None
try:
    a = Editor(a_path, 0)
    editors.append(a)
    b = Editor(b_path, 800)
    editors.append(b)

    # Cut cells (2, 3) to (6, 5) in the first window.
    a.focus()
    a.key("s")
    a.move(2, 3)
    xdo("mousedown", "1")
    a.move(4, 4)
    a.move(6, 5)
    xdo("mouseup", "1")
    time.sleep(0.2)
    a.key("ctrl+x")
    cut = bytearray(first)
    for y in range(3, 6):
        for x in range(2, 7):
            plot(cut, x, y, 0)
    expect("the cut cells are black in the saved page", a.save() == cut, True)

    # What another program sees on the clipboard: the picture and the cells.
    shown = os.path.join(work, "offered.png")
    listed = subprocess.run([PEER, "read", "image/png", shown], capture_output=True, text=True, timeout=30)
    types = listed.stdout.split()
    expect("image/png offered", "image/png" in types, True)
    expect("own cells offered", "application/x-vornel-cells" in types, True)
    size = subprocess.run(["identify", "-format", "%wx%h", shown], capture_output=True, text=True).stdout
    expect("the picture: 16x8 pixels a cell", size, "80x24")
    as_bmp = os.path.join(work, "offered.bmp")
    subprocess.run([PEER, "read", "image/bmp", as_bmp], capture_output=True, timeout=30)
    bmp_size = subprocess.run(["identify", "-format", "%wx%h", as_bmp], capture_output=True, text=True).stdout
    expect("a program asking only for a BMP gets the picture", bmp_size, "80x24")
    cells = os.path.join(work, "cells")
    subprocess.run([PEER, "read", "application/x-vornel-cells", cells], capture_output=True, timeout=30)
    wanted = b"VCEL\x05\x03" + bytes(colour(x, y) for y in range(3, 6) for x in range(2, 7))
    expect("the cells offered", open(cells, "rb").read(), wanted)

    # Pasted in the second window, hanging off two edges, put down by a press.
    b.focus()
    b.move(37, 46)
    b.key("ctrl+v")
    b.move(36, 45)
    b.move(37, 46)
    xdo("click", "1")
    time.sleep(0.3)
    model = bytearray(1024)
    for j in range(2):
        for i in range(3):
            plot(model, 37 + i, 46 + j, colour(2 + i, 3 + j))
    second = b.save()
    expect("the paste, clipped, with the exact colours", [pixel(second, x, y) for y in (46, 47) for x in (37, 38, 39)],
           [pixel(model, x, y) for y in (46, 47) for x in (37, 38, 39)])
    expect("nothing else changed", second == model, True)

    # A PNG another program put there, lores at heart (colours near the
    # palette's): a cell a pixel, each its nearest colour, with no dialog.
    picture = os.path.join(work, "from-peer.png")
    open(picture, "wb").write(png(3, 1, [[(255, 255, 0), (250, 250, 250), (10, 0, 5)]]))
    peer = subprocess.Popen([PEER, "offer", "image/png", picture], stdout=subprocess.PIPE, text=True)
    expect("the peer offers it", peer.stdout.readline().strip(), "offered")
    b.focus()
    b.move(0, 0)
    b.key("ctrl+v")
    dialog = lambda: subprocess.run(["xdotool", "search", "--name", "^Paste Picture$"], capture_output=True).returncode == 0
    time.sleep(0.5)
    expect("no conversion dialog", dialog(), False)
    b.key("Return")
    for x, c in enumerate((13, 15, 0)):
        plot(model, x, 0, c)
    expect("the peer's PNG pasted at the pointer", b.save() == model, True)

    # An owner that never answers: the window waits about a second, not the
    # toolkit's five a request, and pastes nothing.
    peer.send_signal(signal.SIGTERM)
    peer.wait()
    peer = subprocess.Popen([PEER, "offer", "image/png", picture], stdout=subprocess.PIPE, text=True)
    expect("the peer offers it again", peer.stdout.readline().strip(), "offered")
    peer.send_signal(signal.SIGSTOP)
    b.focus()
    b.move(1, 1)
    b.move(0, 0)
    started = time.monotonic()
    xdo("key", "--clearmodifiers", "ctrl+v")
    xdo("mousemove", *b.at(20, 20))
    answered = wait_until(lambda: xdo("getwindowname", b.window).strip().endswith("x:20,y:20"), 20)
    waited = time.monotonic() - started
    print("TITLE", xdo("getwindowname", b.window), subprocess.run(["xdotool", "search", "--name", "Picture"], capture_output=True, text=True).stdout)
    expect("the window answers again within two seconds", (answered, waited < 2.0), (True, True))
    peer.send_signal(signal.SIGCONT)
    b.key("Return")
    expect("nothing pasted from an owner that did not answer", b.save() == model, True)
finally:
    for p in [e.proc for e in editors] + ([peer] if peer else []):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
