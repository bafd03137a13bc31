#!/usr/bin/env bash
# vv.exe reads the files people have today, the Windows build under Wine as the Linux
# build: clips made the way phones, cameras and web downloads make them (HEVC in MP4, VP9
# and Opus in WebM, Matroska with two sound tracks, interlaced MPEG-2 in MPEG-TS, a
# portrait clip turned in its display matrix, HDR10), each converted in the five formats'
# defaults; the Linux ffprobe then finds a picture and a sound in each.
#   todays_files.sh PREFIX VV_EXE WORK_DIR    (vv.exe under Wine, in the prefix PREFIX)
#   todays_files.sh native VV_EXE WORK_DIR    (vv.exe of the Linux build)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vv=$2 work=$3
rm -rf "$work"
mkdir -p "$work/in" "$work/out"
if [ "$1" = native ]; then
  run=() drive=
else
  export WINEPREFIX=$1
  . "$here/wine_env.sh"
  trap '$server -k 2>/dev/null; $server -w 2>/dev/null' EXIT
  make_wine_prefix
  run=("$wine") drive=Z:
fi

clip() {  # name video-options audio-options [extra]
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1" \
    -f lavfi -i "sine=sample_rate=48000:duration=1" $2 $3 ${4:-} -shortest "$work/in/$1" ||
    { echo "todays_files: could not make $1"; exit 1; }
}
clip hevc.mp4 "-c:v libx265 -x265-params log-level=error -tag:v hvc1" "-c:a aac"
clip vp9.webm "-c:v libvpx-vp9 -deadline realtime -cpu-used 8" "-c:a libopus"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1" \
  -f lavfi -i "sine=f=440:duration=1" -f lavfi -i "sine=f=660:duration=1" \
  -map 0 -map 1 -map 2 -c:v libx264 -c:a aac -shortest "$work/in/two sounds.mkv"
clip interlaced.ts "-c:v mpeg2video -flags +ildct+ilme -top 1" "-c:a mp2"
clip upright.mp4 "-c:v libx264" "-c:a aac"
# (FFmpeg 7 sets the turn as the input's; FFmpeg 5 took it as the output's metadata.)
ffmpeg -nostdin -v error -y -display_rotation:v:0 90 -i "$work/in/upright.mp4" -c copy "$work/in/turned.mp4" 2>/dev/null ||
  ffmpeg -nostdin -v error -y -i "$work/in/upright.mp4" -c copy -metadata:s:v:0 rotate=90 "$work/in/turned.mp4"
rm "$work/in/upright.mp4"
clip hdr10.mp4 "-vf format=yuv420p10le -c:v libx265 -x265-params log-level=error -colorspace bt2020nc
  -color_primaries bt2020 -color_trc smpte2084" "-c:a aac"

# The five defaults as the window hands them to vv.exe.
preset="$drive$(dirname "$vv")/h264.dat"
aac="-strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
failures=0
while read -r ext video audio options; do
  for in in "$work"/in/*; do
    name=$(basename "$in")
    out="$work/out/$name.$ext"
    opts=${options//PRESET/$preset}
    opts=${opts//AAC/$aac}
    # shellcheck disable=SC2086
    if ! "${run[@]}" "$vv" -i "$drive$in" -y $opts "$drive$out" >"$work/err" 2>&1; then
      echo "FAIL: $name to $ext: $(tail -n 1 "$work/err")"
      failures=$((failures + 1))
      continue
    fi
    got=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$out" | sort | paste -sd' ')
    want=$(printf '%s\n' "$video" "$audio" | sort | paste -sd' ')
    if [ "$got" != "$want" ]; then
      echo "FAIL: $name to $ext: streams '$got', expected '$want'"
      failures=$((failures + 1))
    fi
  done
done <<'FORMATS'
3gp h263 amr_nb -vcodec h263 -b 256k -s 176x144 -r 14.985 -acodec libopencore_amrnb -ar 8000 -ab 12.2k -ac 1
3g2 h264 aac -fpre PRESET -vcodec libx264 -b 512k -s 320x240 -r 14.985 AAC
mp4 mpeg4 aac -vcodec mpeg4 -b 512k -s 320x240 -r 23.976 AAC
avi mpeg4 mp2 -vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -acodec mp2 -ar 22050 -ab 128k -ac 2
flv flv1 mp3 -vcodec flv -b 256k -s 320x240 -r 14.985 -acodec libmp3lame -ar 44100 -ab 128k -ac 2
FORMATS
[ $failures -eq 0 ] && echo "todays_files: every clip converts in every format with its picture and its sound"
exit $((failures > 0))
