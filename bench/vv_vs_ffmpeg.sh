#!/usr/bin/env bash
# Converts the same clip with vv.exe and with the ffmpeg command line using the same
# options, for the mp4 and avi defaults, and prints the time ratio vv/ffmpeg (best of
# several runs each, taken in turns so that both see the same machine load).
# Usage: bench/vv_vs_ffmpeg.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
vv="$build/bin/vv.exe"
[ -x "$vv" ] || { echo "no $vv: build first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:duration=60 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 -ac 2 \
  -c:v mpeg4 -q:v 4 -c:a libmp3lame -shortest "$work/clip.avi"

now() { date +%s.%N; }
best() { sort -g | head -1; }

declare -A options=(
  [mp4]="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
  [avi]="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -acodec mp2 -ar 22050 -ab 128k -ac 2"
)
declare -A ffopts=(
  [mp4]="-vcodec mpeg4 -b:v 512k -s 320x240 -r 23.976 -strict experimental -acodec aac -ar 44100 -b:a 112k -ac 2"
  [avi]="-vcodec mpeg4 -b:v 512k -s 320x240 -r 23.976 -acodec mp2 -ar 22050 -b:a 128k -ac 2"
)

for fmt in mp4 avi; do
  vv_times=() ff_times=()
  for _ in $(seq "$runs"); do
    t0=$(now); "$vv" -i "$work/clip.avi" -y ${options[$fmt]} "$work/vv.$fmt"; t1=$(now)
    ffmpeg -nostdin -v error -y -i "$work/clip.avi" ${ffopts[$fmt]} "$work/ff.$fmt"; t2=$(now)
    vv_times+=("$(awk "BEGIN{print $t1 - $t0}")")
    ff_times+=("$(awk "BEGIN{print $t2 - $t1}")")
  done
  v=$(printf '%s\n' "${vv_times[@]}" | best)
  f=$(printf '%s\n' "${ff_times[@]}" | best)
  printf '%s: vv %.3f s, ffmpeg %.3f s, ratio vv/ffmpeg %.3f\n' "$fmt" "$v" "$f" "$(awk "BEGIN{print $v / $f}")"
done
