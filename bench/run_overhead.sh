#!/usr/bin/env bash
# Ten short clips through the window against the same ten vv.exe runs back to back;
# prints the run's overhead per file. Starts its own virtual display when none is set.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target tolvani_run_bench vv >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clips=()
for i in $(seq 10); do
  ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 \
    -f lavfi -i sine=sample_rate=44100:duration=3 -c:v mpeg4 -c:a libmp3lame -shortest "$work/clip$i.avi"
  clips+=("$work/clip$i.avi")
done
run=("$build/bin/tolvani_run_bench" "${clips[@]}")
if [ -z "${DISPLAY:-}" ]; then
  LANG=C.UTF-8 xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
  LANG=C.UTF-8 "${run[@]}"
fi
