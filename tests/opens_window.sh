#!/usr/bin/env bash
# Starts an installed Tolvani on a virtual display of its own and checks that its window
# opens, then closes it with Escape as a user would. Needs xvfb, xauth and xdotool.
#   opens_window.sh PROGRAM
set -euo pipefail
if [ -z "${TOLVANI_ON_DISPLAY:-}" ]; then
  export TOLVANI_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
program=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
# The banner's web engine as root without a GPU; the pointer and keys go through X.
env HOME="$home" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 GDK_BACKEND=x11 NO_AT_BRIDGE=1 \
  WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 WEBKIT_DISABLE_COMPOSITING_MODE=1 WEBKIT_DISABLE_DMABUF_RENDERER=1 \
  "$program" >"$home/out.log" 2>&1 &
app=$!
window=$(timeout 60 xdotool search --sync --name '^Tolvani 10\.0\.2$' | head -n1) || true
if [ -z "$window" ]; then
  kill "$app" 2>/dev/null || true
  echo "opens_window: $program opened no window; it said:" >&2
  cat "$home/out.log" >&2
  exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "opens_window: the window \"$(xdotool getwindowname "$window")\" is open (${WIDTH}x${HEIGHT})"
xdotool windowfocus --sync "$window" key Escape || kill "$app"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then
  kill "$app"
  echo "opens_window: the program did not end on Escape" >&2
  exit 1
fi
wait "$app" || true
