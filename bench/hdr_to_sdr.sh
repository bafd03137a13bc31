#!/usr/bin/env bash
# A picture of what vv.exe makes of HDR: SMPTE's HD bars as SDR (left), the same bars
# as HDR10 (PQ, BT.2020, 10-bit HEVC) shown by a player that ignores HDR, as a converter
# that drops the tags leaves it (middle), and vv.exe's mp4 output of the HDR10 clip
# (right); prints the RGB of the 75 % bars of each.
# Usage: bench/hdr_to_sdr.sh [build-dir] [picture.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
picture="${2:-hdr_to_sdr.png}"
vv="$(pwd)/$build/bin/vv.exe"
[ -x "$vv" ] || { echo "no $vv: build first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -f lavfi -i "smptehdbars=size=640x360:rate=25:duration=1" -f lavfi -i sine=d=1 \
  -vf "format=gbrpf32le,zscale=tin=bt709:pin=bt709:t=smpte2084:p=bt2020:m=2020_ncl:r=tv:npl=100,format=yuv420p10le" \
  -colorspace bt2020nc -color_primaries bt2020 -color_trc smpte2084 -c:v libx265 -x265-params log-level=error \
  -c:a aac "$work/pq.mp4"
"$vv" -i "$work/pq.mp4" -y -vcodec mpeg4 -b 2000k -s 640x360 -r 25 -acodec aac -ar 44100 -ab 112k -ac 2 \
  "$work/vv.mp4" 2>/dev/null
ffmpeg -nostdin -v error -f lavfi -i "smptehdbars=size=640x360:rate=1:duration=1" -frames:v 1 "$work/sdr.png"
ffmpeg -nostdin -v error -i "$work/pq.mp4" -frames:v 1 \
  -vf "setparams=color_trc=unknown:colorspace=unknown:color_primaries=unknown,format=rgb24" "$work/ignored.png"
ffmpeg -nostdin -v error -i "$work/vv.mp4" -frames:v 1 -vf format=rgb24 "$work/vv.png"
ffmpeg -nostdin -v error -y -i "$work/sdr.png" -i "$work/ignored.png" -i "$work/vv.png" \
  -filter_complex hstack=inputs=3 -frames:v 1 "$picture"
for name in sdr ignored vv; do
  printf '%-8s' "$name"
  ffmpeg -nostdin -v error -i "$work/$name.png" -vf scale=640:360,format=rgb24 -f rawvideo - |
    python3 -c 'import sys; d = sys.stdin.buffer.read(); print(*[tuple(d[(100 * 640 + x) * 3:(100 * 640 + x) * 3 + 3]) for x in range(100, 640, 80)])'
done
echo "picture: $picture"
