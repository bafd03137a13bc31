#!/usr/bin/env bash
# Builds Tolvani and opens the converter window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "tolvani: no display to open the window on; run it under a virtual one: xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
exec build/bin/tolvani
