#!/usr/bin/env bash
# A written file survives a power cut only once its folder is on the disk:
# the new file is synced, renamed over the old, and then the folder is
# synced through a handle opened for reading, each call succeeding (seen
# under strace); when the folder's sync fails, the save still stands but
# says it may not survive a power cut.
#   durability_test.sh VORNEL FAIL_FOLDER_SYNC_LIBRARY STARTUP_PAGE
set -uo pipefail
vornel=$1 shim=$2 startup=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # what, then a command that must succeed
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

"$vornel" --export-png "$startup" "$work/in.png" || { echo "FAIL cannot make the test picture"; exit 1; }
printf 'old' > "$work/out.page"

strace -f -e trace=fsync,rename,renameat,renameat2,openat -o "$work/trace" \
  "$vornel" --import-png "$work/in.png" "$work/out.page" 2> "$work/err"
check "the import succeeds under strace" test "$(stat -c %s "$work/out.page")" = 1024
# The calls after the write, in order: the file's sync, the rename, the
# folder opened for reading and synced.
python3 - "$work/trace" <<'PY' || failures=$((failures + 1))
import re, sys
lines = [l.split(None, 1)[1] if l[:1].isdigit() else l for l in open(sys.argv[1]).read().splitlines()]
rename = next((i for i, l in enumerate(lines) if re.match(r"rename(at2?)?\(.*out\.page", l)), None)
if rename is None or not lines[rename].rstrip().endswith("= 0"):
    sys.exit("FAIL no successful rename onto out.page:\n" + "\n".join(lines[-20:]))
before = [l for l in lines[:rename] if l.startswith("fsync(")]
if not before or not before[-1].rstrip().endswith("= 0"):
    sys.exit("FAIL the new file was not synced before the rename")
after = lines[rename + 1:]
opened = next((l for l in after if l.startswith("openat(") and "O_DIRECTORY" in l), "")
m = re.search(r"= (\d+)$", opened.rstrip())
if not m or "O_RDONLY" not in opened or "O_PATH" in opened:
    sys.exit("FAIL the folder was not opened for reading after the rename: " + opened)
synced = [l for l in after if l.startswith("fsync(%s)" % m.group(1))]
if not synced or not synced[0].rstrip().endswith("= 0"):
    sys.exit("FAIL the folder's sync did not succeed: %r" % synced)
print("ok   file synced, renamed, folder opened for reading and synced, each = 0")
PY

printf 'old' > "$work/out.page"
LD_PRELOAD=$shim "$vornel" --import-png "$work/in.png" "$work/out.page" 2> "$work/err"
status=$?
check "a failed folder sync still saves (exit 0)" test $status -eq 0
check "the page is written" test "$(stat -c %s "$work/out.page")" = 1024
check "the user is told it may not survive a power cut" grep -q "may not survive a power cut" "$work/err"
check "the message names the file" grep -q "out.page" "$work/err"

LD_PRELOAD=$shim "$vornel" --export-png "$startup" "$work/out.png" 2> "$work/err"
check "the export says so too" grep -q "may not survive a power cut" "$work/err"

[ $failures -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $((failures > 0))
