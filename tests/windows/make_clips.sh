#!/usr/bin/env bash
# Makes the clips the end-to-end test under Wine converts, with the Linux ffmpeg:
# a.avi and "视频 b.avi" (one second each) and long.avi (a minute, to close the window on).
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out/in" "$out/out"
clip() {  # name seconds size
  ffmpeg -v error -y -f lavfi -i "testsrc=size=$3:rate=25:duration=$2" \
    -f lavfi -i "sine=sample_rate=44100:duration=$2" -c:v mpeg4 -c:a libmp3lame -shortest "$out/in/$1"
}
clip a.avi 1 160x120
clip "视频 b.avi" 1 160x120
clip long.avi 60 640x480
