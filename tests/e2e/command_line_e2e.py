#!/usr/bin/env python3
"""The command line of the real vornel: help, version, wrong usage, no
display, and a page file given to open at start. Run under xvfb-run."""
import os
import subprocess
import sys
import tempfile
import time

from screen import canvas_origin, screen_pixel

VORNEL = sys.argv[1]
failures = []
# Recovery files of this run's programs stay in a folder of its own.
os.environ["XDG_STATE_HOME"] = tempfile.mkdtemp(prefix="vornel-state-")
# The zoom and recent files of a test of its own, not the user's.
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="vornel-config-")


def expect(what, got, wanted):
    print("%s %s: got %r, wanted %r" % ("ok  " if got == wanted else "FAIL", what, got, wanted), flush=True)
    if got != wanted:
        failures.append(what)


def run(*args, env=None):
    return subprocess.run([VORNEL, *args], capture_output=True, text=True, timeout=20, env=env)


def windows_named(pattern):
    out = subprocess.run(["xdotool", "search", "--name", pattern], capture_output=True, text=True)
    return out.stdout.split()


def wait_for_window(pattern, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        found = windows_named(pattern)
        if found:
            return found[0]
        time.sleep(0.1)
    return None


# No window for help, version or wrong usage.
help_run = run("--help")
expect("--help exit code", help_run.returncode, 0)
expect("--help names the usage", help_run.stdout.startswith("Usage: vornel [--palette NAME] [FILE]"), True)
expect("--help lists the conversions", "--export-png" in help_run.stdout and "--import-png" in help_run.stdout, True)
expect("-v", (run("-v").returncode, run("-v").stdout), (0, "vornel 0.2\n"))
bad = run("--frobnicate")
expect("unknown option exit code", bad.returncode, 2)
expect("unknown option: one line on standard error", (bad.stdout, bad.stderr.count("\n")), ("", 1))
expect("unknown option names itself and the help", "--frobnicate" in bad.stderr and "--help" in bad.stderr, True)

# The conversions run without a display: exit codes, one line of report.
work = tempfile.mkdtemp(prefix="vornel-cl-")
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
page = os.path.join(work, "page")
with open(page, "wb") as f:
    f.write(bytes(range(256)) * 4)
exported = run("--export-png", page, os.path.join(work, "page.png"), env=env)
expect("--export-png exit code", (exported.returncode, exported.stderr), (0, ""))
imported = run("--import-png", os.path.join(work, "page.png"), os.path.join(work, "back"), "--holes-from", page, env=env)
expect("--import-png exit code and report", (imported.returncode, imported.stderr.count("\n")), (0, 1))
expect("round trip", open(os.path.join(work, "back"), "rb").read(), open(page, "rb").read())
failed = run("--import-png", page, os.path.join(work, "nothing"), env=env)
expect("a page given as PNG", (failed.returncode, failed.stderr.count("\n"), os.path.exists(os.path.join(work, "nothing"))),
       (1, 1, False))
expect("--export-png without its files", run("--export-png", page).returncode, 2)
into_image = run("--import-png", os.path.join(work, "page.png"), os.path.join(work, "art.dsk") + ":PIC", env=env)
listed = run("--list", os.path.join(work, "art.dsk"), env=env)
expect("--list of a new image", (into_image.returncode, listed.returncode, listed.stdout.split()),
       (0, 0, ["PIC", "B", "1024", "$0400", "page"]))
# A photograph (a JPEG that ImageMagick makes of a gradient) is converted as
# the options say; the options go with --import-png only, and in range.
photo = os.path.join(work, "photo.jpg")
subprocess.run(["convert", "-size", "300x200", "gradient:orange-navy", photo], check=True)
converted = run("--import-png", photo, os.path.join(work, "photo.gr"), "--dither", "atkinson", "--fit", "fill",
                "--brightness", "10", "--saturation", "-20", env=env)
expect("a JPEG converted as asked", (converted.returncode, converted.stderr.strip().rsplit(": ", 1)[-1],
                                     os.path.getsize(os.path.join(work, "photo.gr"))),
       (0, "converted from 300x200 (fill, atkinson dithering, standard palette, brightness +10, saturation -20)", 1024))
for args in (("--dither", "best"), ("--fit", "crop"), ("--contrast", "101"), ("--brightness", "-"), ("--saturation",)):
    wrong = run("--import-png", photo, os.path.join(work, "w.gr"), *args, env=env)
    expect("usage error for " + " ".join(args), (wrong.returncode, os.path.exists(os.path.join(work, "w.gr"))), (2, False))
expect("--dither goes with --import-png", run("--export-png", page, os.path.join(work, "x.png"), "--dither", "none").returncode, 2)
# A file of three frames: every frame's PNG or one of them, the GIF as
# ImageMagick reads it (three 640x384 frames, 4/100 s each at 25 a second),
# the count; what cannot be done is said and writes nothing.
frames = os.path.join(work, "frames.gr")
pages = [bytes((i * 7 + k * 11) & 0xFF for i in range(1024)) for k in range(3)]
open(frames, "wb").write(b"".join(pages))
open(os.path.join(work, "second.gr"), "wb").write(pages[1])
shots = run("--export-png", frames, os.path.join(work, "fr.png"), env=env)
expect("every frame's PNG", (shots.returncode, [os.path.exists(os.path.join(work, "fr-%03d.png" % k)) for k in (1, 2, 3)],
                             os.path.exists(os.path.join(work, "fr.png"))), (0, [True, True, True], False))
run("--export-png", frames, os.path.join(work, "two.png"), "--frame", "2", env=env)
run("--export-png", os.path.join(work, "second.gr"), os.path.join(work, "alone.png"), env=env)
expect("--frame 2 is the second page's export", open(os.path.join(work, "two.png"), "rb").read(),
       open(os.path.join(work, "alone.png"), "rb").read())
gif = os.path.join(work, "frames.gif")
made = run("--export-gif", frames, gif, "--fps", "25", env=env)
shape = subprocess.run(["identify", "-format", "%wx%h:%T ", gif], capture_output=True, text=True).stdout.split()
expect("the GIF", (made.returncode, shape), (0, ["640x384:4"] * 3))
at85 = run("--export-gif", frames, os.path.join(work, "at85.gif"), "--aspect", "8:5", env=env)
expect("the GIF at 8:5", (at85.returncode, subprocess.run(["identify", "-format", "%wx%h ", os.path.join(work, "at85.gif")],
                                                              capture_output=True, text=True).stdout.split()),
       (0, ["640x480"] * 3))
booting = os.path.join(work, "movie.dsk")
made_disk = run("--boot-disk", frames, booting, "--fps", "12", env=env)
on_disk = run("--list", booting, env=env)
expect("a disk that plays the frames, its catalog one B file of them", (made_disk.returncode, on_disk.stdout.split()),
       (0, ["FRAMES.GR", "B", "3072", "$0400", "3", "frames"]))
listed_frames = run("--list", frames, env=env)
expect("--list of frames", (listed_frames.returncode, listed_frames.stdout.strip().endswith(": 3 frames of 1024 bytes")), (0, True))
for args, code, said in [(("--export-png", frames, os.path.join(work, "x.png"), "--frame", "4"), 1, "has 3 frames, no frame 4"),
                         (("--export-gif", frames, os.path.join(work, "none", "x.gif")), 1, "x.gif: "),
                         (("--export-gif", frames, os.path.join(work, "y.gif"), "--fps", "0"), 2, "--fps is a number"),
                         (("--export-png", frames, os.path.join(work, "y.png"), "--fps", "5"), 2, "--fps goes with"),
                         (("--export-png", frames, os.path.join(work, "y.png"), "--aspect", "4:3"), 2, "--aspect is 2:1, 7:4 or 8:5"),
                         (("--boot-disk", frames, os.path.join(work, "y.dsk"), "--aspect", "8:5"), 2, "--aspect goes with")]:
    told = run(*args, env=env)
    expect("refused: " + " ".join(args[-2:]), (told.returncode, said in told.stderr, os.path.exists(args[2])), (code, True, False))
# Started by its bare name from the PATH (the loader then knows the program
# only as "vornel"), it still finds its codec module.
on_path = subprocess.run(["vornel", "--import-png", photo, os.path.join(work, "path.gr")], capture_output=True, text=True,
                         timeout=20, cwd=tempfile.mkdtemp(), env=dict(env, PATH=os.path.dirname(os.path.abspath(VORNEL)) +
                                                                    os.pathsep + env.get("PATH", "")))
expect("a JPEG read by the program found on the PATH", (on_path.returncode, on_path.stderr.count("converted from")), (0, 1))
# A copy of the program without its codec module beside it still converts
# PNGs and pages; a JPEG or a GIF it says it cannot do, and writes nothing.
alone = os.path.join(work, "alone")
os.mkdir(alone)
subprocess.run(["cp", VORNEL, alone], check=True)
for args in (("--import-png", photo, os.path.join(work, "n.gr")), ("--export-gif", frames, os.path.join(work, "n.gif"))):
    told = subprocess.run([os.path.join(alone, "vornel"), *args], capture_output=True, text=True, timeout=20, env=env)
    expect("without the codecs: " + args[0], (told.returncode, "codecs could not be loaded" in told.stderr,
                                              os.path.exists(args[2])), (1, True, False))
without = subprocess.run([os.path.join(alone, "vornel"), "--export-png", page, os.path.join(work, "n.png")], env=env)
expect("without the codecs a page still exports", without.returncode, 0)
not_image = run("--list", page, env=env)
expect("--list of a page", (not_image.returncode, not_image.stderr.count("\n")), (1, 1))
# What is wrong is named, and a name's control bytes never reach the terminal raw.
os.mkfifo(os.path.join(work, "pipe"))
for args, said in [(("--import-png", os.path.join(work, "page.png"), os.path.join(work, "n.dsk") + ":\x1b[31mRED"),
                    "^[[31mRED"),
                   (("--boot-disk", "/tmp", os.path.join(work, "x.dsk")), "/tmp: is a folder"),
                   (("--boot-disk", os.path.join(work, "pipe"), os.path.join(work, "x.dsk")), "pipe: is not a regular file"),
                   (("--export-png", os.path.join(work, "pipe"), os.path.join(work, "x.png")), "pipe: is not a regular file")]:
    told = run(*args, env=env)
    expect("message for " + args[-1], (told.returncode, said in told.stderr, "\x1b" in told.stderr), (1, True, False))

# Nothing is written over what is read (the same file, through a link or a
# hard link), no page under a picture's or a disk image's name, no file of a
# disk image's size taken as 140 frames, and a failed export of frames
# leaves none of its pictures.
shot = os.path.join(work, "shot.png")
run("--export-png", page, shot, env=env)
os.symlink(shot, os.path.join(work, "shot-link.png"))
os.link(page, os.path.join(work, "page-hard"))
game = os.path.join(work, "game.bin")
open(game, "wb").write(bytes((i * 13) & 0xFF for i in range(143360)))
os.mkdir(os.path.join(work, "fail-002.png"))
before = {f: open(f, "rb").read() for f in (shot, page, game)}
for args, said, absent in [
        (("--import-png", shot, os.path.join(work, "shot-link.png")), "is the file read", None),
        (("--export-png", page, os.path.join(work, "page-hard")), "is the file read", None),
        (("--import-png", shot, os.path.join(work, "out.PNG")), "a page file is no picture", "out.PNG"),
        (("--import-png", shot, os.path.join(work, "new.dsk")), "as " + os.path.join(work, "new.dsk") + ":NAME", "new.dsk"),
        (("--export-png", game, os.path.join(work, "g.png")), "not a DOS 3.3 or ProDOS volume", "g-001.png"),
        (("--export-png", frames, os.path.join(work, "fail.png")), "fail-002.png: ", "fail-001.png")]:
    told = run(*args, env=env)
    expect("refused, nothing written: " + " ".join(os.path.basename(a) for a in args[1:]),
           (told.returncode, said in told.stderr, absent is None or not os.path.exists(os.path.join(work, absent))),
           (1, True, True))
expect("what was read is unchanged", {f: open(f, "rb").read() for f in before} == before, True)
expect("--list of a file of a disk's size", (run("--list", game, env=env).returncode, "frames" in run("--list", game, env=env).stdout), (1, False))

# The clipboard helper without a display, or with its output closed: one
# line and exit code 1, never an abort or a hang.
for how, command, extra in [("no display", [VORNEL, "--read-clipboard", "t"], env),
                            ("output closed", ["sh", "-c", 'exec "$0" --read-clipboard t >&-', VORNEL], None)]:
    try:
        told = subprocess.run(command, capture_output=how == "no display", stderr=subprocess.PIPE if how != "no display" else None,
                              text=True, timeout=10, env=extra)
        expect("--read-clipboard, " + how, (told.returncode, told.stderr.count("\n")), (1, 1))
    except subprocess.TimeoutExpired:
        expect("--read-clipboard, " + how, "hung", "ended")

# The command line itself loads nothing of the window toolkit.
libraries = subprocess.run(["ldd", VORNEL], capture_output=True, text=True).stdout
expect("vornel links no Qt library", [l.split()[0] for l in libraries.splitlines() if "Qt" in l], [])

# No display: one line, exit code 1, no abort.
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
headless = run(env=env)
expect("no display exit code", headless.returncode, 1)
expect("no display: one line on standard error", headless.stderr.count("\n"), 1)

# A page given on the command line is shown at start: all white.
page = os.path.join(work, "white.gr")
with open(page, "wb") as f:
    f.write(bytes([0xFF]) * 1024)
proc = subprocess.Popen([VORNEL, "white.gr"], cwd=work)
try:
    window = wait_for_window("^Vornel 0.2")
    expect("window opened", window is not None, True)
    time.sleep(1.0)
    geometry = dict(line.split("=") for line in subprocess.run(
        ["xdotool", "getwindowgeometry", "--shell", window], capture_output=True, text=True).stdout.split())
    left, top = canvas_origin(geometry)
    # Cell (2, 2) is black in the startup picture.
    expect("the page on screen", screen_pixel(left + 2 * 16 + 8, top + 2 * 8 + 4, work), (255, 255, 255))
    # The window program started in vornel's place, and read no image with the toolkit's plugins.
    maps = open("/proc/%d/maps" % proc.pid).read()
    expect("the window program runs under vornel's process", "vornel-window" in maps, True)
    expect("no image plugin loaded at start-up", [l.split()[-1] for l in maps.splitlines() if "imageformats" in l], [])
    # The status line and the menu bar's titles are drawn by now, with the
    # program's own dots: no font read.
    expect("no font file read", [l.split()[-1] for l in maps.splitlines() if l.endswith((".ttf", ".otf", ".pcf.gz"))], [])
finally:
    proc.kill()
    proc.wait()

# A file that does not exist yet is the new picture's name: no message, and
# the first Ctrl+S creates it.
proc = subprocess.Popen([VORNEL, "new.gr"], cwd=work)
try:
    window = wait_for_window("^Vornel 0.2")
    time.sleep(1.0)
    expect("no message for a file yet to be made", windows_named("^Error$"), [])
    subprocess.run(["xdotool", "windowfocus", "--sync", window])
    subprocess.run(["xdotool", "key", "ctrl+s"])
    end = time.time() + 10
    while time.time() < end and not os.path.exists(os.path.join(work, "new.gr")):
        time.sleep(0.1)
    expect("Ctrl+S creates it", os.path.exists(os.path.join(work, "new.gr")) and
           os.path.getsize(os.path.join(work, "new.gr")) == 1024, True)
finally:
    proc.kill()
    proc.wait()

print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
sys.exit(1 if failures else 0)
