#!/usr/bin/python3
"""The menu bar and the toolbar as a screen reader reads them, through
AT-SPI: the real vornel on a private accessibility bus, its bar's six titles
menu items named File, Edit, View, Frame, Tools and Help, each with the menu
it opens under it (made as the reader asks for it); the toolbar's buttons
(drawn by the program) push buttons named by their tips, the swatches by
their colours.
Run by run_accessibility.sh (a private session bus, Xvfb)."""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

VORNEL = sys.argv[1]
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_CONFIG_HOME=tempfile.mkdtemp(),
           XDG_STATE_HOME=tempfile.mkdtemp())
proc = subprocess.Popen([VORNEL], env=env)
failures = []


def find(node, role, depth=0):
    if node is None or depth > 12:
        return None
    try:
        if node.getRole() == role:
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), role, depth + 1)
            if found:
                return found
    except Exception:
        return None
    return None


try:
    bar = None
    end = time.time() + 20
    while time.time() < end and bar is None:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and "vornel" in (app.name or "").lower():
                bar = find(app, pyatspi.ROLE_MENU_BAR)
        time.sleep(0.3)
    titles = []
    if bar is not None:
        for i in range(bar.childCount):
            title = bar.getChildAtIndex(i)
            below = title.getChildAtIndex(0) if title.childCount else None
            titles.append((title.name, title.getRoleName(), below.getRoleName() if below else None))
    wanted = [(name, "menu item", "popup menu") for name in ("File", "Edit", "View", "Frame", "Tools", "Help")]
    ok = titles == wanted
    print("%s the bar's titles: got %r, wanted %r" % ("ok  " if ok else "FAIL", titles, wanted), flush=True)
    if not ok:
        failures.append("titles")
    toolbar = find(bar.parent if bar is not None else None, pyatspi.ROLE_TOOL_BAR)
    buttons = [(b.name, b.getRoleName()) for b in
               (toolbar.getChildAtIndex(i) for i in range(toolbar.childCount if toolbar else 0))]
    named = ["New document", "Open document", "Save document"] + ["colour %d, %s" % (n, c) for n, c in enumerate(
        ("black", "magenta", "dark blue", "purple", "dark green", "dark grey", "medium blue", "light blue", "brown",
         "orange", "light grey", "pink", "light green", "yellow", "aqua", "white"))] + [
        "line draw", "circle", "color fill", "pen", "undo"]
    wanted = [(name, "push button") for name in named]
    ok = buttons == wanted
    print("%s the toolbar's buttons: got %r, wanted %r" % ("ok  " if ok else "FAIL", buttons, wanted), flush=True)
    if not ok:
        failures.append("toolbar")
finally:
    proc.kill()
    proc.wait()
print("%d passed, %d failed" % (2 - len(failures), len(failures)))
sys.exit(1 if failures else 0)
