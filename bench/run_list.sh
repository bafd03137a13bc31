#!/usr/bin/env bash
# The same list (ten 5 s 640x480 clips) through the run with the real vv.exe, one row at a
# time and then several at once, in each format's default; prints a line per format with
# the two wall times, the peak memory of the tools running together, and the ratio last.
# Then the same for one long file alone (60 s), where several at once must cost nothing.
# Usage: [PAIRS=5] bench/run_list.sh [build-dir] [clips]  (medians of PAIRS pairs)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
count="${2:-10}"
cmake --build "$build" --target tolvani_run_list_bench vv >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out"
clips=()
for i in $(seq "$count"); do
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=5,noise=alls=12:allf=t" \
    -f lavfi -i "sine=frequency=$((200 + 40 * i)):sample_rate=44100:duration=5" \
    -c:v mpeg4 -b:v 2M -c:a libmp3lame -shortest "$work/clip$i.avi"
  clips+=("$work/clip$i.avi")
done
"$build/bin/tolvani_run_list_bench" "$work/out" "${clips[@]}"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=60,noise=alls=12:allf=t" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=60" -c:v mpeg4 -b:v 2M -c:a libmp3lame -shortest \
  "$work/long.avi"
"$build/bin/tolvani_run_list_bench" "$work/out" "$work/long.avi"
