#!/usr/bin/env bash
# Stages an install into a temporary DESTDIR and checks what a desktop reads
# with the standard validators. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
source "$(dirname "$0")/check.sh"

DESTDIR=$stage cmake --install "$build" --prefix /usr > /dev/null
root=$stage/usr
id=org.vornel.Vornel

check "binary installed and runs" "$root/bin/vornel" --version
# The JPEG and GIF libraries are the codec module's alone, loaded when first
# needed: neither the program nor the editor's module loads them at start.
check "a start loads no codec library" bash -c "! readelf -d '$root/bin/vornel' '$root/libexec/vornel/vornel-window.so' \
  | grep -E 'NEEDED.*(jpeg|gif)'"
# (In the sanitizers' build, LeakSanitizer cannot walk the thread-local
# storage of a library loaded at run time, libjpeg-turbo's, and crashes at
# exit: it is told to leave thread-local storage out of its roots.)
check "the installed program reads a JPEG and writes a GIF through its codec module" bash -c "
  export LSAN_OPTIONS=\${LSAN_OPTIONS:+\$LSAN_OPTIONS:}use_tls=0
  cd '$stage' && convert -size 40x48 gradient:red-blue photo.jpg && '$root/bin/vornel' --import-png photo.jpg page.gr \
  && '$root/bin/vornel' --export-gif page.gr page.gif 2>/dev/null && identify -format '%m %wx%h' 'page.gif[0]' \
  | grep -qx 'GIF 640x384'"
check "desktop entry" desktop-file-validate "$root/share/applications/$id.desktop"
check "desktop entry launches the binary with a file" grep -qx 'Exec=vornel %f' "$root/share/applications/$id.desktop"
check "AppStream metainfo" appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml"
# groff prints its warnings (-ww) on standard error; none may appear.
check "man page without warnings" bash -c "test -z \"\$(zcat '$root/share/man/man1/vornel.1.gz' | groff -ww -z -man 2>&1)\""
check "man renders" bash -c "MANWIDTH=80 man -l '$root/share/man/man1/vornel.1.gz' 2>&1 >/dev/null | (! grep .)"
# Every option the program knows is in its manual page.
check "man page describes every option" bash -c "
  man=\$(MANWIDTH=200 man -l '$root/share/man/man1/vornel.1.gz' 2>/dev/null)
  for option in \$('$root/bin/vornel' --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- \"\$option\" <<< \"\$man\" || { echo \"missing: \$option\"; exit 1; }
  done"
check "page type" grep -q 'application/x-apple2-lores' "$root/share/mime/packages/$id.xml"
check "thumbnailer" test -f "$root/share/thumbnailers/vornel.thumbnailer"
for size in 16 32 48 64 128 256; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
  check "icon ${size}x${size}" python3 -c "
import struct, sys
data = open('$png', 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
assert struct.unpack('>II', data[16:24]) == ($size, $size), struct.unpack('>II', data[16:24])"
done
check "scalable icon" grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/$id.svg"

finish
