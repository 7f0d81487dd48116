#!/usr/bin/env python3
"""The command-line export, one process per file, beside ImageMagick turning
the same 640x384 picture into a PNG: CPU time (user + system) per file,
interleaved, medians of rounds. Usage: conversion_bench.py BUILD_DIR [FILES]"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
FILES = int(sys.argv[2]) if len(sys.argv) > 2 else 60
VORNEL = os.path.join(BUILD, "vornel")
work = tempfile.mkdtemp(prefix="vornel-conv-")
page = os.path.join(work, "page")
with open(page, "wb") as f:
    f.write(bytes((i * 7919 + (i >> 3) * 31) & 0xFF for i in range(1024)))
picture = os.path.join(work, "picture.png")
subprocess.run([VORNEL, "--export-png", page, picture], check=True)
# No display: the conversions never need one.
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}


def cpu_per_file(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    for i in range(FILES):
        subprocess.run(command(i), check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return ((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)) / FILES * 1000


vornel, magick = [], []
convert = shutil.which("convert")
for _ in range(5):
    vornel.append(cpu_per_file(lambda i: [VORNEL, "--export-png", page, os.path.join(work, "v%d.png" % i)]))
    if convert:
        magick.append(cpu_per_file(lambda i: [convert, picture, os.path.join(work, "m%d.png" % i)]))
v = statistics.median(vornel)
print("export of a page, one process per file: vornel %.2f ms CPU (%.2f-%.2f)" % (v, min(vornel), max(vornel)))
if magick:
    m = statistics.median(magick)
    print("ImageMagick convert of the same picture:  %.2f ms CPU (%.2f-%.2f), ratio %.2f" % (m, min(magick), max(magick), v / m))
shutil.rmtree(work)
