# The checks of the desktop tests: `check WHAT COMMAND...` runs the command,
# says ok or FAIL (with what it printed), and `finish` ends with the count.
failed=0
check() {
  local what=$1; shift
  if out=$("$@" 2>&1); then echo "ok   $what"; else echo "FAIL $what"; echo "$out"; failed=1; fi
}
finish() {
  if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
  exit $failed
}
