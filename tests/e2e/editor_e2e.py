#!/usr/bin/env python3
"""End-to-end: the real vornel under an X server, driven by xdotool.

Draws a pen dot with real pointer events, reads the window title back,
checks the screen, saves through the real file dialog, exports a PNG through
it, draws again and ends the program with Escape, answering the question
about the unsaved picture with Discard. Run under xvfb-run (see run_e2e.sh).
"""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from screen import canvas_origin, read_png, screen_pixel, wait_until

VORNEL, SOURCE = sys.argv[1], sys.argv[2]
TITLE = "Vornel 0.2"
PALETTE_WHITE, PALETTE_YELLOW, PALETTE_BLACK = (255, 255, 255), (255, 255, 0), (0, 0, 0)
failures = []
# Recovery files of this run's programs stay in a folder of its own.
os.environ["XDG_STATE_HOME"] = tempfile.mkdtemp(prefix="vornel-state-")
# The zoom and recent files of a test of its own, not the user's.
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="vornel-config-")


def xdo(*args, check=True):
    out = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if check and out.returncode != 0:
        raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), out.stderr))
    return out.stdout.strip()


def expect(what, got, wanted):
    status = "ok  " if got == wanted else "FAIL"
    print("%s %s: got %r, wanted %r" % (status, what, got, wanted), flush=True)
    if got != wanted:
        failures.append(what)


def wait_for(what, test, seconds=15):
    value = wait_until(test, seconds)
    if not value:
        raise RuntimeError("timed out waiting for " + what)
    return value


def find_window(name):
    def search():
        out = xdo("search", "--name", "^" + name, check=False)
        return out.split()[0] if out else None
    return wait_for("window " + name, search)


def choose_in_dialog(path):
    dialog = find_window("Please choose file to save")
    time.sleep(0.5)
    xdo("windowfocus", "--sync", dialog)
    xdo("key", "--clearmodifiers", "ctrl+a")
    xdo("type", "--delay", "5", path)
    xdo("key", "Return")


def popup_item(downs, canvas_x, canvas_y):
    xdo("mousemove", canvas_x, canvas_y)
    time.sleep(0.2)
    xdo("click", "3")
    time.sleep(0.6)
    for _ in range(downs):
        xdo("key", "Down")
        time.sleep(0.1)
    xdo("key", "Return")


work = tempfile.mkdtemp(prefix="vornel-e2e-")
proc = subprocess.Popen([VORNEL], cwd=work)
try:
    window = find_window(TITLE)
    time.sleep(1.0)
    geometry = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", window).splitlines())
    cx, cy = canvas_origin(geometry)  # below the menu bar and the 30-pixel toolbar
    xdo("windowfocus", "--sync", window)

    # A pen dot at canvas (100, 50): lores cell (6, 6).
    xdo("mousemove", cx + 90, cy + 40)
    time.sleep(0.2)
    xdo("mousemove", cx + 100, cy + 50)
    time.sleep(0.2)
    xdo("click", "1")
    time.sleep(0.5)
    expect("title after the press", xdo("getwindowname", window), "Vornel 0.2 x:6,y:6")
    xdo("mousemove", cx + 400, cy + 300)
    time.sleep(0.2)
    xdo("mousemove", cx + 401, cy + 301)
    time.sleep(0.5)
    expect("title after moving", xdo("getwindowname", window), "Vornel 0.2 x:25,y:37")
    expect("screen at the dot", screen_pixel(cx + 6 * 16 + 8, cy + 6 * 8 + 4, work), PALETTE_WHITE)
    expect("screen on the apple", screen_pixel(cx + 12 * 16 + 8, cy + 17 * 8 + 4, work), PALETTE_YELLOW)
    expect("screen on the ground", screen_pixel(cx + 2 * 16, cy + 2 * 8, work), PALETTE_BLACK)

    # Save As through the popup menu and the real file dialog.
    page_path = os.path.join(work, "dot.gr")
    popup_item(2, cx + 500, cy + 200)
    choose_in_dialog(page_path)
    wait_for("the saved page", lambda: os.path.exists(page_path) and os.path.getsize(page_path) == 1024)
    saved = open(page_path, "rb").read()
    startup = bytearray(open(os.path.join(SOURCE, "assets", "startup_picture.bin"), "rb").read())
    startup[384 + 6] = (startup[384 + 6] & 0xF0) | 15  # pixel (6, 6): text row 3, low nibble
    expect("saved page bytes", saved == bytes(startup), True)

    # Export picture... through the same dialog.
    png_path = os.path.join(work, "dot-export")
    popup_item(3, cx + 500, cy + 200)
    choose_in_dialog(png_path)
    wait_for("the exported picture", lambda: os.path.exists(png_path) and os.path.getsize(png_path) > 100)
    time.sleep(0.3)
    width, height, chunks, rows = read_png(png_path)
    expect("export size", (width, height), (640, 384))
    expect("export chunks", chunks, ["IHDR", "IDAT", "IEND"])
    pixel = lambda x, y: tuple(rows[y][3 * x:3 * x + 3])
    expect("exported dot", pixel(6 * 16 + 8, 6 * 8 + 4), PALETTE_WHITE)
    expect("exported apple", pixel(12 * 16 + 8, 17 * 8 + 4), PALETTE_YELLOW)
    # The pointer last rested on cell (31, 25), on the black ground: the highlight stays on screen.
    expect("no highlight in the export", pixel(31 * 16 + 8, 25 * 8 + 4), PALETTE_BLACK)

    # One more dot makes the picture unsaved: Escape asks first, and
    # Discard ends the program with exit code 0.
    xdo("mousemove", cx + 3 * 16 + 8, cy + 40 * 8 + 4)
    time.sleep(0.2)
    xdo("click", "1")
    time.sleep(0.3)
    xdo("windowfocus", "--sync", window)
    xdo("key", "Escape")
    question = find_window(TITLE + "$")
    time.sleep(0.5)
    expect("still running while asked", proc.poll(), None)
    xdo("windowfocus", "--sync", question)
    xdo("key", "alt+d")
    expect("exit code after Escape and Discard", proc.wait(timeout=10), 0)
finally:
    if proc.poll() is None:
        proc.kill()
        failures.append("still running")

print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
sys.exit(1 if failures else 0)
