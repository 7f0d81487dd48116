#!/usr/bin/env bash
# Builds the Debian package, has lintian judge it, unpacks it into a scratch
# root and checks that everything is where a desktop looks for it: the
# program, its entry and its page type, the thumbnailer, the licence.
# Also checks that `make run` installs none of the test tools.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
tree=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/check.sh"

(cd "$build" && cpack -G DEB -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/vornel_*_*.deb)
check "named vornel_<version>_<arch>.deb" bash -c "basename '$deb' | grep -qx 'vornel_0.2_$(dpkg --print-architecture).deb'"
lintian --pedantic "$deb" > "$work/lintian.log" 2>&1 || true
check "lintian: no errors" bash -c "! grep '^E:' '$work/lintian.log'"
grep '^[WIP]:' "$work/lintian.log" || true
# The codecs' libraries too, found in the module that loads them.
check "section graphics, dependencies found" bash -c \
  "dpkg-deb -f '$deb' Section | grep -qx graphics && dpkg-deb -f '$deb' Depends | grep -q libqt6widgets6 \
   && dpkg-deb -f '$deb' Depends | grep -q libjpeg62-turbo && dpkg-deb -f '$deb' Depends | grep -q libgif7"

root=$work/root
dpkg-deb -x "$deb" "$root"
id=org.vornel.Vornel
check "the program runs" "$root/usr/bin/vornel" --version
check "desktop entry declares the page and disk image types" \
  grep -qx 'MimeType=application/x-apple2-lores;application/x-apple2-disk-image;' \
  "$root/usr/share/applications/$id.desktop"
check "desktop entry valid" desktop-file-validate "$root/usr/share/applications/$id.desktop"
check "thumbnailer" grep -qx 'Exec=vornel --thumbnail %i %o %s' "$root/usr/share/thumbnailers/vornel.thumbnailer"
check "licence" grep -q 'Permission is hereby granted' "$root/usr/share/doc/vornel/copyright"
check "icons" test -f "$root/usr/share/icons/hicolor/48x48/apps/$id.png"
check "mime database builds" update-mime-database "$root/usr/share/mime"
head -c 1024 /dev/zero > "$work/pic.gr"
head -c 1024 /dev/zero > "$work/pic#060400"
for page in pic.gr 'pic#060400'; do
  check "a page is application/x-apple2-lores: $page" bash -c \
    "XDG_DATA_DIRS='$root/usr/share' XDG_DATA_HOME='$work/none' XDG_CURRENT_DESKTOP=GNOME \
     xdg-mime query filetype '$work/$page' | grep -qx application/x-apple2-lores"
done
# Disk images are the program's by name, a ProDOS .po by its volume
# directory too; a translation file's .po stays a translation.
head -c 143360 /dev/zero > "$work/disk.dsk"
head -c 143424 /dev/zero > "$work/disk.2mg"
"$root/usr/bin/vornel" --export-png "$work/pic.gr" "$work/pic.png" > /dev/null
"$root/usr/bin/vornel" --import-png "$work/pic.png" "$work/volume.po:PIC" 2> /dev/null
printf 'msgid ""\nmsgstr ""\n' > "$work/words.po"
for file in disk.dsk:application/x-apple2-disk-image disk.2mg:application/x-apple2-disk-image \
            volume.po:application/x-apple2-disk-image words.po:text/x-gettext-translation; do
  check "${file%%:*} is ${file#*:}" bash -c \
    "XDG_DATA_DIRS='$root/usr/share:/usr/share' XDG_DATA_HOME='$work/none' XDG_CURRENT_DESKTOP=GNOME \
     xdg-mime query filetype '$work/${file%%:*}' | grep -qx '${file#*:}'"
done

# make run's set is the program's alone.
run_set=$(bash "$tree/scripts/install-deps.sh" run --dry-run)
all_set=$(bash "$tree/scripts/install-deps.sh" all --dry-run)
check "make run installs no test tool" bash -c \
  "! grep -qxE 'libgtest-dev|libbenchmark-dev|xvfb|xdotool|imagemagick|appstream|lintian' <<< '$run_set'"
check "make test installs them" bash -c "grep -qx libgtest-dev <<< '$all_set' && grep -qx xvfb <<< '$all_set'"

finish
