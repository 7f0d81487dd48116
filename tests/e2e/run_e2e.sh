#!/usr/bin/env bash
# Runs the end-to-end test under a private X server.
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" python3 "$(dirname "$0")/editor_e2e.py" "$@"
