#!/usr/bin/env python3
"""On-screen benchmarks under a real X server (run by `make bench` inside
xvfb-run): Vornel against a bare Qt window of the same size, interleaved,
medians reported with their ratio.

  start-up: time to the first fully drawn frame, the gap between the window
            being mapped and being drawn, and the peak resident size;
  pointer:  CPU time per pointer move over the canvas (all threads), for a
            plain move, for line and circle rubber bands and for a 20x20
            selection carried with the button held; and a plain move at 2x
            zoom beside a bare window of that size.
Usage: x_bench.py BUILD_DIR [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 31  # start-ups of each, interleaved: the median steadies near 30
PROBE = os.path.join(BUILD, "bench", "x_probe")
BARE = os.path.join(BUILD, "bench", "bare_window")
VORNEL = os.path.join(BUILD, "vornel")
# Both windows are the editor's size, 640x440 and its menu bar (MENU,
# measured first), centred on the screen (no window manager). The screen
# `make bench` gives has room for the editor at 2x.
SCREEN = (2048, 1536)
MENU = 0
LEFT = (SCREEN[0] - 640) // 2
WORK = tempfile.mkdtemp(prefix="vornel-bench-")


def canvas_top(zoom=1):
    """The screen row where the canvas of a centred window of the editor's
    size starts (the bare window is one colour all over)."""
    return (SCREEN[1] - (MENU + 30 + 384 * zoom + 26)) // 2 + MENU + 30


def points():
    """A yellow cell of the startup picture, and a dot of the status line's
    first letter (black when its text is drawn)."""
    top = canvas_top(1)
    return (LEFT + 12 * 16 + 8, top + 17 * 8 + 4), (LEFT + 7, top + 384 + 11)


def bare_window(zoom=1):
    """The bare window's command: the editor's size at that zoom, where the
    editor's window is."""
    width, height = 640 * zoom, MENU + 30 + 384 * zoom + 26
    size = "%dx%d" % (width, height)
    return [BARE, size, "-geometry", "%s+%d+%d" % (size, (SCREEN[0] - width) // 2, (SCREEN[1] - height) // 2)]


def measure_menu_bar():
    """The menu bar's height in this desktop's font: the window's height
    beyond 440."""
    proc = subprocess.Popen([VORNEL], cwd=WORK, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            time.sleep(0.1)
            found = subprocess.run(["xdotool", "search", "--name", "^Vornel"], capture_output=True, text=True).stdout
            if found.split():
                shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", found.split()[0]],
                                       capture_output=True, text=True).stdout
                height = int(dict(l.split("=") for l in shell.split())["HEIGHT"])
                if height > 440:
                    return height - 440
        raise RuntimeError("the editor's window never showed")
    finally:
        proc.kill()
        proc.wait()


def startup(title, command, points):
    """The whole window is drawn when every (x, y, colour) of points shows."""
    where = [str(v) for point in points for v in point]
    out = subprocess.run([PROBE, "startup", title, *where, "--", *command],
                         capture_output=True, text=True, cwd=WORK, timeout=60)
    mapped, drawn, gap, peak = out.stdout.split()
    return float(drawn), float(gap), int(peak)


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True)


def moves(command, setup=None, count=2000, zoom=1, env=None, teardown=None):
    proc = subprocess.Popen(command, cwd=WORK, stderr=subprocess.DEVNULL, env=env)
    left, top = (SCREEN[0] - 640 * zoom) // 2, canvas_top(zoom)
    try:
        time.sleep(1.5)
        if setup:
            setup()
        out = subprocess.run([PROBE, "moves", str(proc.pid), str(left + 8), str(top + 4), str(620 * zoom),
                              str(370 * zoom), str(count)],
                             capture_output=True, text=True, timeout=120)
        return float(out.stdout)
    finally:
        if teardown:
            teardown()
        proc.kill()
        proc.wait()


def anchor(key):
    def press():
        xdo("mousemove", LEFT + 320, canvas_top() + 192)
        xdo("key", key)
        xdo("click", "1")
        time.sleep(0.2)
    return press


def carry_selection():
    """S, a 20x20 selection marked by a drag, and the button pressed inside
    it: the moves that follow carry its cells."""
    at = lambda cx, cy: (LEFT + 16 * cx + 8, canvas_top() + 8 * cy + 4)
    xdo("mousemove", LEFT + 320, canvas_top() + 192)
    xdo("key", "s")
    xdo("mousemove", *at(2, 10))
    xdo("mousedown", "1")
    xdo("mousemove", *at(12, 20))
    xdo("mousemove", *at(21, 29))
    xdo("mouseup", "1")
    xdo("mousemove", *at(10, 20))
    xdo("mousedown", "1")
    time.sleep(0.2)


def release_button():
    xdo("mouseup", "1")


def median(values):
    return statistics.median(values)


def private_session_bus():
    """A session bus of our own, as a desktop gives its programs: without one
    the toolkit's accessibility bridge starts a bus daemon at every start,
    which outlives the program and blurs the start-up figures."""
    out = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                         capture_output=True, text=True, check=True).stdout.split()
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = out[0]
    return int(out[1])


def main():
    bus = private_session_bus()
    os.environ["XDG_STATE_HOME"] = os.path.join(WORK, "state")
    os.environ["XDG_CONFIG_HOME"] = os.path.join(WORK, "no-config")  # 1x, whatever the user chose
    try:
        global MENU
        MENU = measure_menu_bar()
        print("the editor's menu bar: %d pixels high" % MENU)
        measure()
    finally:
        os.kill(bus, 15)


def measure():
    bare = bare_window()
    vornel, floor = [], []
    apple, ink = points()
    for _ in range(RUNS):  # interleaved, so that both see the same machine
        # The picture and the status line's text in the same frame; the bare
        # window is drawn when its one colour shows at both places.
        vornel.append(startup("Vornel", [VORNEL], [(*apple, "ffff00"), (*ink, "000000")]))
        floor.append(startup("bare", bare, [(*apple, "ffff00"), (*ink, "ffff00")]))
    vd, bd = median([r[0] for r in vornel]), median([r[0] for r in floor])
    vg, bg = median([r[1] for r in vornel]), median([r[1] for r in floor])
    vr, br = median([r[2] for r in vornel]), median([r[2] for r in floor])
    print("start-up to the whole window drawn: vornel %.1f ms, bare Qt %.1f ms, ratio %.2f" % (vd, bd, vd / bd))
    print("mapped-to-drawn gap:              vornel %.1f ms, bare Qt %.1f ms" % (vg, bg))
    print("peak resident size:               vornel %d KiB, bare Qt %d KiB, ratio %.2f" % (vr, br, vr / br))

    rounds = 3
    results = {"bare": [], "plain": [], "line": [], "circle": [], "select": []}
    for _ in range(rounds):
        results["bare"].append(moves(bare))
        results["plain"].append(moves([VORNEL]))
        results["line"].append(moves([VORNEL], anchor("l")))
        results["circle"].append(moves([VORNEL], anchor("c")))
        results["select"].append(moves([VORNEL], carry_selection, teardown=release_button))
    floor = median(results["bare"])
    print("pointer move, CPU per move:        bare Qt %.1f us" % floor)
    for name in ("plain", "line", "circle", "select"):
        value = median(results[name])
        print("  vornel %-6s                    %.1f us, ratio %.2f" % (name, value, value / floor))
    print("  a 20x20 selection carried: %.2f of the circle's cost per move (at most 1)" %
          (median(results["select"]) / median(results["circle"])))

    # At 2x: the zoom the editor starts with, from its configuration folder.
    config = os.path.join(WORK, "config")
    os.makedirs(os.path.join(config, "vornel"), exist_ok=True)
    with open(os.path.join(config, "vornel", "zoom"), "w") as f:
        f.write("2\n")
    zoomed = dict(os.environ, XDG_CONFIG_HOME=config)
    bare2 = bare_window(2)
    at2 = {"bare": [], "plain": []}
    for _ in range(rounds):
        at2["bare"].append(moves(bare2, zoom=2))
        at2["plain"].append(moves([VORNEL], zoom=2, env=zoomed))
    floor2, value2 = median(at2["bare"]), median(at2["plain"])
    print("pointer move at 2x:                bare Qt %.1f us, vornel %.1f us, ratio %.2f" % (floor2, value2,
                                                                                            value2 / floor2))


if __name__ == "__main__":
    main()
