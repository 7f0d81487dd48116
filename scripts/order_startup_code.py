#!/usr/bin/env python3
"""Writes the linker scripts that put the code a start runs first in the
program (cli/startup_code.ld for `vornel`, editor/startup_code.ld for
`vornel-window.so`).

A start touches a few hundred functions of the program's thousands; spread
through the code, they made the kernel map nearly all of it (it maps the
pages around each one it is asked for), and the program's size was its
memory. Listed first, they take a few dozen pages together.

The list is what runs under callgrind from start-up until the window has
been shown and made ready for input. A function missing from it (a new
one, a renamed one) only lands in the rest of the code; run this again
after changes to start-up and compare `make bench`'s peak memory.

Usage, on a release build, under a display:
  xvfb-run -a -s "-screen 0 1280x1024x24" python3 scripts/order_startup_code.py build/release
Needs valgrind.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGETS = {"vornel": "cli/startup_code.ld", "vornel-window.so": "editor/startup_code.ld"}
SETTLE = 25  # seconds: the window shown and everything after it done, at callgrind's pace


def run_functions(build):
    """(binary file name, symbol) of every function of ours that ran."""
    # A session bus of its own, as a desktop gives: without one, the start
    # waits on a bus daemon being started for it.
    bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                         capture_output=True, text=True, check=True).stdout.split()
    try:
        report = record(build, bus[0])
    finally:
        os.kill(int(bus[1]), 15)
    ran = set()
    for line in report.splitlines():
        m = re.match(r"^\s*[\d,]+ \([^)]*\)\s+\S*:(\S+) \[.*\]$", line)
        if m:
            ran.add(m.group(1).replace(".localalias", ""))
    # Each binary's own: callgrind does not always know which object a
    # function came from.
    found = set()
    for binary in TARGETS:
        symbols = subprocess.run(["nm", os.path.join(build, binary)], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
        own = {f[2] for f in map(str.split, symbols) if len(f) == 3 and f[1] in "tTwW"}
        found |= {(binary, f) for f in ran & own}
    return found


def record(build, bus):
    """What callgrind_annotate says of a start under callgrind."""
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "callgrind.out")
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_STATE_HOME=os.path.join(work, "state"))
        proc = subprocess.Popen(["valgrind", "--tool=callgrind", "--demangle=no", "--callgrind-out-file=" + out,
                                 os.path.join(build, "vornel")], cwd=work, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(SETTLE)
        proc.terminate()  # callgrind writes its record as the program ends
        proc.wait()
        return subprocess.run(["callgrind_annotate", "--threshold=100", out], capture_output=True, text=True,
                              check=True).stdout


def sections(symbol):
    """The sections a function's code may be in: a constructor or
    destructor is called by one name and compiled under the other."""
    names = {symbol}
    for a, b in (("C1E", "C2E"), ("C1I", "C2I"), ("D1E", "D2E")):
        names |= {symbol.replace(a, b), symbol.replace(b, a)}
    return names


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release"))
    found = run_functions(build)
    for binary, script in TARGETS.items():
        names = sorted({s for b, f in found if b == binary and f.startswith("_Z") for s in sections(f)} |
                       {f for b, f in found if b == binary and f.isidentifier()})
        with open(os.path.join(ROOT, script), "w") as out:
            out.write("/* The code a start runs, first in %s (made by scripts/order_startup_code.py). */\n"
                      "SECTIONS\n{\n  .text.first : {\n    *libc_nonshared.a:*(.text .text.*)\n" % binary)
            out.writelines("    *(.text.%s)\n" % n for n in names)
            out.write("  }\n}\nINSERT BEFORE .text;\n")
        print("%s: %d functions" % (script, len(names)))


if __name__ == "__main__":
    main()
