#!/usr/bin/env python3
"""Nothing lost: no signal, hostile input or lost display costs a drawing or a
file. Drives the real vornel: conversions fed pipes, devices, folders and
picture bombs (exit codes, one line, bounded memory), an export into a pipe
whose reader goes away, and the recovery of an unsaved drawing after SIGTERM,
SIGHUP, kill -9 and the X server dying under it. Run under xvfb-run."""
import fcntl
import os
import resource
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

from screen import canvas_origin, screen_pixel, wait_until

VORNEL = sys.argv[1]
TITLE = "Vornel 0.2"
failures = []
work = tempfile.mkdtemp(prefix="vornel-lost-")
state = os.path.join(work, "state")
os.environ["XDG_STATE_HOME"] = state
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="vornel-config-")
recovery_folder = os.path.join(state, "vornel")
headless = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def expect(what, got, wanted):
    print("%s %s: got %r, wanted %r" % ("ok  " if got == wanted else "FAIL", what, got, wanted), flush=True)
    if got != wanted:
        failures.append(what)


def xdo(*args, env=None):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, env=env).stdout.strip()


def peak_kib(args, **kw):
    """Runs vornel in a child of a fresh interpreter; (exit code, stderr lines, peak RSS in KiB)."""
    probe = ("import resource, subprocess, sys; r = subprocess.run(sys.argv[1:], capture_output=True, timeout=20); "
             "print(r.returncode, r.stderr.count(b'\\n'), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", probe, VORNEL, *args], capture_output=True, text=True,
                         timeout=30, env=headless, **kw)
    code, lines, kib = out.stdout.split()
    return int(code), int(lines), int(kib)


def png(width, height, chunks=b"", idat=b""):
    def chunk(kind, body, length=None):
        n = len(body) if length is None else length
        return struct.pack(">I", n) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    head = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    return head + chunks + (chunk(b"IDAT", idat) if idat else b"")


def write(name, data):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


noise = bytes((i * 7919 + (i >> 3) * 31) & 0xFF for i in range(1024))
page = write("page", noise)

# --- Conversions: every hostile input is one line and exit 1, never a hang, an abort or a signal.
fifo = os.path.join(work, "fifo")
os.mkfifo(fifo)
os.mkdir(os.path.join(work, "folder"))
for what, source in (("/dev/zero", "/dev/zero"), ("a pipe nobody writes", fifo), ("a terminal", "/dev/ptmx"),
                     ("a folder", os.path.join(work, "folder"))):
    start = time.time()
    code, lines, kib = peak_kib(["--import-png", source, os.path.join(work, "out")])
    expect("--import-png of %s: exit 1, one line, at once" % what, (code, lines, time.time() - start < 5), (1, 1, True))
bomb = write("bomb.png", png(16000, 16000, idat=zlib.compress(bytes(16000 * 3 + 1) * 40)))
code, lines, kib = peak_kib(["--import-png", bomb, os.path.join(work, "out")])
expect("16000x16000 PNG refused", (code, lines), (1, 1))
expect("... before allocating (peak RSS under 100 MB)", kib < 100 * 1024, True)
text_bomb = png(40, 48)[:33] + struct.pack(">I", 0x7FFFFFF0) + b"tEXtabcd"
code, lines, kib = peak_kib(["--import-png", write("text.png", text_bomb[:45]), os.path.join(work, "out")])
expect("a text chunk claiming 2 GB refused", (code, lines, kib < 100 * 1024), (1, 1, True))
print("     peak RSS of the bombs: %d KiB" % kib)
expect("no page written by any of them", os.path.exists(os.path.join(work, "out")), False)
late = subprocess.run([VORNEL, "/dev/full", os.path.join(work, "out"), "--import-png"], capture_output=True,
                      timeout=10, env=headless)
expect("an option after the file names", late.returncode, 2)
expect("--export-png with a third file", subprocess.run([VORNEL, "--export-png", page, "a.png", "b.png"],
                                                         capture_output=True, env=headless).returncode, 2)


def limit_file_size():
    resource.setrlimit(resource.RLIMIT_FSIZE, (200, 200))


small = subprocess.run([VORNEL, "--export-png", page, os.path.join(work, "big.png")], capture_output=True,
                       env=headless, preexec_fn=limit_file_size, timeout=20)
expect("export past the file-size limit: exit 1 (not SIGXFSZ)", (small.returncode, small.stderr.count(b"\n")), (1, 1))


def reader_that_goes_away(opened):
    # A reader with a one-page pipe: the export blocks on it, then the reader leaves.
    fd = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    fcntl.fcntl(fd, 1031, 4096)  # F_SETPIPE_SZ
    opened.set()
    time.sleep(1.0)
    os.close(fd)


opened = threading.Event()
threading.Thread(target=reader_that_goes_away, args=(opened,)).start()
opened.wait()
piped = subprocess.run([VORNEL, "--export-png", page, fifo], capture_output=True, env=headless, timeout=20)
expect("export into a pipe whose reader left: exit 1 (not SIGPIPE)", (piped.returncode, piped.stderr.count(b"\n")),
       (1, 1))


# --- The window: recovery of an unsaved drawing.
def start(env=None):
    proc = subprocess.Popen([VORNEL], cwd=work, env=env)
    return proc


def main_window(env=None):
    found = wait_until(lambda: xdo("search", "--name", "^" + TITLE, env=env).split())
    return found[0] if found else None


def draw_dot(window, cell, env=None):
    time.sleep(0.8)
    geometry = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", window, env=env).splitlines())
    x, y = canvas_origin(geometry)
    x, y = x + cell[0] * 16 + 8, y + cell[1] * 8 + 4
    xdo("mousemove", x - 5, y, env=env)
    time.sleep(0.2)
    xdo("mousemove", x, y, env=env)
    time.sleep(0.2)
    xdo("click", "1", env=env)
    return x, y


def pages():
    if not os.path.isdir(recovery_folder):
        return []
    return sorted(n for n in os.listdir(recovery_folder) if n.endswith(".page"))


def kept_pixel(name, cell):
    data = open(os.path.join(recovery_folder, name), "rb").read()
    rows = [0x000, 0x080, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x028, 0x0A8, 0x128, 0x1A8, 0x228, 0x2A8,
            0x328, 0x3A8, 0x050, 0x0D0, 0x150, 0x1D0, 0x250, 0x2D0, 0x350, 0x3D0]
    b = data[rows[cell[1] // 2] + cell[0]]
    return (b >> 4) & 15 if cell[1] & 1 else b & 15


def kept(cell):
    """Waits until the copy kept for recovery holds the dot drawn at cell (it is written within a quarter second)."""
    return wait_until(lambda: any(kept_pixel(name, cell) == 15 for name in pages()), 10)


def answer_recovery(key):
    """Answers the start-up question; True when one was asked."""
    asked = wait_until(lambda: len(xdo("search", "--name", "^" + TITLE + "$").split()) >= 1, 10)
    time.sleep(0.8)
    for w in xdo("search", "--name", "^" + TITLE + "$").split():
        xdo("windowfocus", "--sync", w)
        xdo("key", key)
    time.sleep(0.8)
    return bool(asked)


proc = start()
try:
    window = main_window()
    expect("nothing to recover at the first start", pages(), [])
    draw_dot(window, (2, 2))
    expect("the unsaved drawing is kept while the program runs", (bool(kept((2, 2))), len(pages())), (True, 1))
    proc.send_signal(signal.SIGTERM)
    expect("SIGTERM still ends the program", proc.wait(timeout=10), -signal.SIGTERM)
finally:
    if proc.poll() is None:
        proc.kill()
left = pages()
expect("SIGTERM leaves the drawing", (len(left), left and kept_pixel(left[0], (2, 2))), (1, 15))

proc = start()
try:
    window = main_window()
    answer_recovery("alt+r")
    geometry = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", window).splitlines())
    left, top = canvas_origin(geometry)
    shown = screen_pixel(left + 2 * 16 + 8, top + 2 * 8 + 4, work)
    expect("Recover shows the drawing", shown, (255, 255, 255))
    now = pages()
    expect("the recovered picture is this program's own now", len(now) == 1 and now != left, True)
    proc.send_signal(signal.SIGHUP)
    proc.wait(timeout=10)
finally:
    if proc.poll() is None:
        proc.kill()
expect("SIGHUP keeps it again", len(pages()), 1)

proc = start()
try:
    main_window()
    answer_recovery("alt+d")
    expect("Discard removes it", pages(), [])
    time.sleep(0.3)
finally:
    proc.kill()
    proc.wait()

# kill -9 while drawing, three times, each start recovering the one before.
for round in range(3):
    proc = start()
    window = main_window()
    if round:
        answer_recovery("alt+r")
    draw_dot(window, (4 + round, 4))
    kept((4 + round, 4))
    proc.kill()
    proc.wait()
left = pages()
expect("three kills leave one drawing with every dot", (len(left), [kept_pixel(left[0], (x, 4)) for x in (4, 5, 6)]),
       (1, [15, 15, 15]))
os.unlink(os.path.join(recovery_folder, left[0]))

# The X server dies under a drawing: the drawing is on disk when the program is gone.
own_display = ":%d" % (80 + os.getpid() % 100)
xserver = subprocess.Popen(["Xvfb", own_display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                           stderr=subprocess.DEVNULL)
try:
    env = dict(os.environ, DISPLAY=own_display)
    time.sleep(1.0)
    proc = start(env)
    window = main_window(env)
    draw_dot(window, (9, 9), env)
    xserver.kill()
    xserver.wait()
    code = proc.wait(timeout=15)
    expect("the program ends when its display dies", code != 0, True)
    left = pages()
    expect("... leaving the drawing", (len(left), left and kept_pixel(left[0], (9, 9))), (1, 15))
finally:
    if proc.poll() is None:
        proc.kill()
    if xserver.poll() is None:
        xserver.kill()
        xserver.wait()

print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
sys.exit(1 if failures else 0)
