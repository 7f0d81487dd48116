#!/usr/bin/env bash
# Makes docs/screenshot.png from the real program under a private X server.
# Usage: scripts/screenshot.sh [path/to/vornel]   (default build/release/vornel)
set -euo pipefail
cd "$(dirname "$0")/.."
vornel=$(realpath "${1:-build/release/vornel}")
mkdir -p docs
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" bash -c '
  set -euo pipefail
  work=$(mktemp -d)
  trap "kill \$pid 2>/dev/null || true; rm -rf \$work" EXIT
  (cd "$work" && XDG_CONFIG_HOME="$work" XDG_STATE_HOME="$work" "$1") & pid=$!
  for _ in $(seq 100); do
    window=$(xdotool search --name "^Vornel 0.2" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  Y=$((Y + HEIGHT - 440))  # the canvas is 30 pixels below the menu bar: its height is what the window has over 440
  # A rubber-band line from the apple, as a user would see it mid-gesture.
  xdotool key --window "$window" l
  xdotool mousemove $((X + 9 * 16 + 8)) $((Y + 30 + 36 * 8 + 4)) click 1
  xdotool mousemove $((X + 30 * 16 + 8)) $((Y + 30 + 27 * 8 + 4))
  sleep 0.2
  xdotool mousemove $((X + 31 * 16 + 8)) $((Y + 30 + 28 * 8 + 4))
  sleep 0.5
  import -window "$window" docs/screenshot.png
' _ "$vornel"
