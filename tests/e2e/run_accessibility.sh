#!/usr/bin/env bash
# The accessibility test on a private session bus with its own AT-SPI bus,
# under a private X server; nothing of it is left running.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately & launcher=$!
  trap "kill $launcher 2>/dev/null; wait $launcher 2>/dev/null || true" EXIT
  sleep 0.5
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" /usr/bin/python3 "$0/accessibility_e2e.py" "$1"
' "$here" "$1"
