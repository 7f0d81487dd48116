#!/usr/bin/env python3
"""The real vornel on a real Wayland compositor: weston (nested in the X
server this runs under, so that xdotool's pointer and keys reach it as a
user's would) with the toolkit's Wayland platform. After G, and after a pen
stroke, with no further input, the canvas on the compositor's screen must
equal the model within a frame plus the compositor's delay.

Run under xvfb-run: wayland_e2e.py VORNEL STARTUP_PAGE
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from screen import page_pixels, page_plot, read_png, wait_until

VORNEL, STARTUP_PAGE = sys.argv[1], sys.argv[2]
CELL_W, CELL_H = 16, 8
GRID = (0x80, 0x80, 0x80)
MIXED_LINE = (0xFF, 0xC0, 0x00)
WHITE = (255, 255, 255)
SETTLE = 0.1  # a frame, and the compositor's own repaint, with room to spare
LIMIT = 0.5  # on a loaded machine the compositor may be late; a stale screen stays wrong for seconds
failures = []


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def screenshot(work):
    """The X screen weston draws its output on, as rows of RGB tuples."""
    shot = os.path.join(work, "shot.ppm")
    subprocess.run(["import", "-window", "root", "-depth", "8", shot], check=True)
    data = open(shot, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:  # P6 width height maxval, then one white-space byte
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:]
    return [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def page_model(work, page):
    """The canvas as 384 rows of 640 RGB tuples: the page as the export draws it."""
    out = os.path.join(work, "model.png")
    subprocess.run([VORNEL, "--export-png", page, out], check=True)
    width, height, _, rows = read_png(out)
    return [[tuple(row[x * 3:x * 3 + 3]) for x in range(width)] for row in rows]


def fill_cell(model, cx, cy, colour, grid):
    for y in range(cy * CELL_H, cy * CELL_H + CELL_H):
        for x in range(cx * CELL_W, cx * CELL_W + CELL_W):
            model[y][x] = colour
    if grid:
        for y in range(cy * CELL_H, cy * CELL_H + CELL_H):
            model[y][cx * CELL_W] = GRID
        lines = 2 if cy == 40 else 1
        for y in range(cy * CELL_H, cy * CELL_H + lines):
            for x in range(cx * CELL_W, cx * CELL_W + CELL_W):
                model[y][x] = MIXED_LINE if cy == 40 else GRID


def with_grid(model):
    grid = [row[:] for row in model]
    for cy in range(48):
        for cx in range(40):
            fill_cell(grid, cx, cy, model[cy * CELL_H + 1][cx * CELL_W + 1], True)
    return grid


def find_canvas(shot, model):
    """Where the model stands on the screen: the first and last pixel of
    every cell must match, so that a shift by a pixel does not."""
    samples = [(x, y) for cy in range(48) for cx in range(40)
               for x, y in ((cx * CELL_W, cy * CELL_H), (cx * CELL_W + CELL_W - 1, cy * CELL_H + CELL_H - 1))]
    first = samples[0]
    height, width = len(shot), len(shot[0])
    for oy in range(0, height - 384):
        row = shot[oy + first[1]]
        for ox in range(0, width - 640):
            if row[ox + first[0]] != model[first[1]][first[0]]:
                continue
            if all(shot[oy + y][ox + x] == model[y][x] for x, y in samples):
                return ox, oy
    return None


def differences(shot, origin, model, pointer):
    """Canvas pixels unlike the model, but for those the compositor's
    pointer picture may cover (down and right of its hot spot)."""
    ox, oy = origin
    px, py = pointer if pointer else (-100, -100)
    return [(x, y) for y in range(384) for x in range(640)
            if shot[oy + y][ox + x] != model[y][x] and not (px - 2 <= ox + x < px + 32 and py - 2 <= oy + y < py + 32)]


def expect_screen(what, work, origin, model, pointer=None):
    start = time.monotonic()
    time.sleep(SETTLE)
    while True:
        wrong = differences(screenshot(work), origin, model, pointer)
        if not wrong or time.monotonic() - start > LIMIT:
            break
    where = ""
    if wrong:
        xs, ys = [x for x, _ in wrong], [y for _, y in wrong]
        where = ", within canvas pixels %d,%d to %d,%d" % (min(xs), min(ys), max(xs), max(ys))
    print("%s %s: %d canvas pixels differ from the model%s" % ("ok  " if not wrong else "FAIL", what, len(wrong), where),
          flush=True)
    if wrong:
        failures.append(what)


def start_weston(runtime_dir):
    log = open(os.path.join(runtime_dir, "weston.log"), "w")
    weston = subprocess.Popen(["weston", "--backend=x11-backend.so", "--width=1000", "--height=740",
                               "--socket=vornel-test", "--use-pixman", "--idle-time=0", "--no-config"],
                              stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    # Its window on the X server, shown: only then does it follow the pointer.
    shown = lambda: "IsViewable" in subprocess.run(["xwininfo", "-name", "Weston Compositor - screen0"],
                                                   capture_output=True, text=True).stdout
    if not wait_until(lambda: os.path.exists(os.path.join(runtime_dir, "vornel-test")), 20) or not wait_until(shown, 20):
        stop_weston(weston)
        raise RuntimeError("weston did not start")
    return weston


def stop_weston(weston):
    """weston and the helpers it started (its panel, its keyboard) end together."""
    try:
        os.killpg(weston.pid, signal.SIGTERM)
        weston.wait(10)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        os.killpg(weston.pid, signal.SIGKILL)
        weston.wait()


def main():
    work = tempfile.mkdtemp(prefix="vornel-wayland-")
    runtime_dir = os.path.join(work, "runtime")
    os.mkdir(runtime_dir, 0o700)
    os.environ["XDG_RUNTIME_DIR"] = runtime_dir
    os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
    os.environ["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                         capture_output=True, text=True, check=True).stdout.split()
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
    try:
        weston = start_weston(runtime_dir)
    except RuntimeError:
        os.kill(int(bus[1]), 15)
        raise
    program, others = None, []
    try:
        # The pointer enters weston's window from outside (it follows a
        # pointer only from its entry on) and rests on its panel, where no
        # window goes: its picture must not cover the canvas wherever the
        # window is placed.
        xdo("mousemove", 1015, 760)
        time.sleep(0.2)
        xdo("mousemove", 600, 12)
        time.sleep(0.1)
        xdo("mousemove", 601, 12)
        env = dict(os.environ, WAYLAND_DISPLAY="vornel-test", QT_QPA_PLATFORM="wayland")
        env.pop("DISPLAY", None)  # nothing of the program may go to X
        program = subprocess.Popen([VORNEL], cwd=work, env=env)
        startup = page_model(work, STARTUP_PAGE)
        # At start the highlight is on cell (0, 0) in the current colour, white.
        first = [row[:] for row in startup]
        fill_cell(first, 0, 0, WHITE, False)
        origin = wait_until(lambda: find_canvas(screenshot(work), first), 20)
        if not origin:
            kept = os.path.join(tempfile.gettempdir(), "vornel-wayland-failed.ppm")
            shutil.copy(os.path.join(work, "shot.ppm"), kept)
            raise RuntimeError("the canvas never appeared on the compositor's screen (last screen: %s)" % kept)
        print("canvas found at %d,%d" % origin, flush=True)
        expect_screen("the first frame", work, origin, first)

        def at(cx, cy):
            return origin[0] + cx * CELL_W + CELL_W // 2, origin[1] + cy * CELL_H + CELL_H // 2

        # The pointer enters weston's window from outside and moves on to the
        # cell, as a user's would (the first motion over the canvas is its
        # entry, which draws nothing).
        # Apart in time, so that the toolkit does not fold them into one.
        for step in (2, 1, 0):
            xdo("mousemove", at(10, 20)[0] - step, at(10, 20)[1])
            time.sleep(0.15)
        time.sleep(0.3)
        moved = [row[:] for row in startup]
        fill_cell(moved, 10, 20, WHITE, False)
        expect_screen("the highlight follows the pointer", work, origin, moved, at(10, 20))

        xdo("key", "g")
        grid = with_grid(startup)
        fill_cell(grid, 10, 20, WHITE, True)
        expect_screen("G shows the grid with no further input", work, origin, grid, at(10, 20))
        xdo("key", "g")

        # A pen stroke over two cells in the current colour, white.
        xdo("mousemove", *at(5, 5))
        time.sleep(0.15)
        xdo("mousedown", "1")
        time.sleep(0.15)
        xdo("mousemove", *at(6, 5))
        time.sleep(0.15)
        xdo("mouseup", "1")
        stroke = [row[:] for row in startup]
        fill_cell(stroke, 5, 5, WHITE, False)
        fill_cell(stroke, 6, 5, WHITE, False)
        expect_screen("a pen stroke with no further input", work, origin, stroke, at(6, 5))

        # 2x: a program cannot place its window here, so the window keeps its
        # size and the canvas scrolls in it: the zoomed picture shows from the
        # canvas's corner, and the status line is where it was, on the screen.
        xdo("key", "ctrl+plus")
        time.sleep(0.8)
        shot = screenshot(work)
        zoomed = lambda cx, cy: shot[origin[1] + cy * 2 * CELL_H + CELL_H][origin[0] + cx * 2 * CELL_W + CELL_W]
        checks = [("the zoomed stroke", zoomed(6, 5), WHITE), ("a zoomed cell of the picture", zoomed(13, 17),
                                                                 startup[17 * CELL_H + 4][13 * CELL_W + 8]),
                  ("the status line's first letter where it was", shot[origin[1] + 384 + 11][origin[0] + 7],
                   (0, 0, 0))]
        for what, got, wanted in checks:
            print("%s %s: got %s, wanted %s" % ("ok  " if tuple(got) == tuple(wanted) else "FAIL", what, got, wanted),
                  flush=True)
            if tuple(got) != tuple(wanted):
                failures.append(what)
        xdo("key", "ctrl+0")
        time.sleep(0.5)

        # The clipboard between two clients of the compositor: the whole
        # picture copied here, pasted into a second program started on a
        # blank page (it has the keyboard: Ctrl+V, Return, Ctrl+S).
        xdo("key", "ctrl+a")
        time.sleep(0.2)
        xdo("key", "ctrl+c")
        time.sleep(0.3)
        blank = os.path.join(work, "blank.gr")
        open(blank, "wb").write(bytes(1024))
        os.utime(blank, (1, 1))
        second = subprocess.Popen([VORNEL, blank], cwd=work, env=env)
        others.append(second)
        time.sleep(2)
        for key in ("ctrl+v", "Return", "ctrl+s"):
            xdo("key", key)
            time.sleep(0.3)
        wait_until(lambda: os.path.getmtime(blank) != 1, 10)
        time.sleep(0.2)
        wanted = bytearray(open(STARTUP_PAGE, "rb").read())
        page_plot(wanted, 5, 5, 15)
        page_plot(wanted, 6, 5, 15)
        same = page_pixels(open(blank, "rb").read()) == page_pixels(wanted)
        print("%s the picture pasted into a second program" % ("ok  " if same else "FAIL"), flush=True)
        if not same:
            failures.append("the paste into a second program")
    finally:
        for p in others + ([program] if program else []):
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        stop_weston(weston)
        os.kill(int(bus[1]), 15)
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("FAILED: " + ", ".join(failures))
        sys.exit(1)
    print("all passed")


if __name__ == "__main__":
    main()
