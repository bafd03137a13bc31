#!/usr/bin/env bash
# Runs a corpus of damaged inputs (seven small clips in seven formats, each damaged about
# forty ways with fixed seeds: truncations, byte flips, zeroed blocks, smashed header
# fields, splices, timestamp jumps) through vv.exe and, side by side, the ffmpeg command
# line with the same options, and prints counts; each should be 0:
#   crashes     vv.exe ended by a signal other than the scan's own time limit
#   hangs       vv.exe still running after the time limit (60 s)
#   runaway     vv.exe's output more than 5 s longer than the undamaged clip
#   ffmpeg-better  ffmpeg made a playable output with video (or audio) where vv.exe did not
#   destroyed   a failing vv.exe run changed the file standing at the output path
#   bad-reason  a failing run whose standard error does not end in one "vv.exe: " line
# Usage: bench/vv_damage_scan.sh [build-dir] [work-dir]   (lists each finding on stderr)
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
vv="$(pwd)/$build/bin/vv.exe"
damage="$(pwd)/$build/tests/vv_damage"
[ -x "$damage" ] || damage="$(pwd)/$build/bin/vv_damage"
[ -x "$vv" ] && [ -x "$damage" ] || { echo "no $vv or vv_damage: build first (scripts/build.sh)" >&2; exit 1; }
preset="$(dirname "$vv")/h264.dat"
work="${2:-$(mktemp -d)}"
[ -n "${2:-}" ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clips" "$work/damaged" "$work/out"
limit=60
clip_seconds=3

gen() {  # name video-codec-options audio-codec-options [size]
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=${4:-320x240}:rate=25:duration=$clip_seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$clip_seconds" $2 $3 -shortest "$work/clips/$1"
}
gen clip.avi "-c:v mpeg4" "-c:a libmp3lame -ac 2"
gen clip.mp4 "-c:v libx264 -preset veryfast" "-c:a aac"
gen clip.flv "-c:v flv" "-c:a libmp3lame -ar 44100"
gen clip.3gp "-c:v h263" "-c:a aac -ar 22050 -ac 1" 176x144
gen clip.mpg "-c:v mpeg1video" "-c:a mp2"
gen clip.wmv "-c:v wmv2" "-c:a wmav2"
gen clip.rm "-c:v rv10" "-c:a ac3"
"$damage" "$work"/clips/* "$work/damaged" >/dev/null

mp4_opts="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
avi_opts="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -acodec mp2 -ar 22050 -ab 128k -ac 2"
gp3_opts="-vcodec h263 -b 256k -s 176x144 -r 14.985 -strict experimental -acodec aac -ar 22050 -ab 64k -ac 1"
flv_opts="-vcodec flv -b 256k -s 320x240 -r 14.985 -acodec libmp3lame -ar 44100 -ab 128k -ac 2"
g2_opts="-vcodec libx264 -b 512k -s 320x240 -r 14.985 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
avimp3_opts="-vcodec mpeg4 -b 512k -s 320x240 -r 25 -acodec libmp3lame -ar 44100 -ab 320k -ac 2"

# "video-packets audio-packets duration decodes(0/1)" of a file; "0 0 0 0" when none.
probe() {
  [ -s "$1" ] || { echo "0 0 0 0"; return; }
  local v a d ok=0
  v=$(ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>/dev/null | head -1)
  a=$(ffprobe -v error -count_packets -select_streams a -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>/dev/null | head -1)
  d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null | head -1)
  timeout -s KILL $limit ffmpeg -nostdin -v error -xerror -i "$1" -f null - >/dev/null 2>&1 && ok=1
  echo "${v:-0} ${a:-0} ${d:-0} $ok"
}

crashes=0 hangs=0 runaway=0 better=0 destroyed=0 badreason=0 files=0 vv_ok=0 ff_ok=0
for in in "$work"/damaged/*; do
  name=$(basename "$in")
  ext="${name##*.}"
  case "$ext" in
    avi) out_ext=mp4 opts=$mp4_opts ;;
    mp4) out_ext=avi opts=$avi_opts ;;
    flv) out_ext=3gp opts=$gp3_opts ;;
    3gp) out_ext=flv opts=$flv_opts ;;
    mpg) out_ext=mp4 opts=$mp4_opts ;;
    wmv) out_ext=3g2 opts=$g2_opts ;;
    *) out_ext=avi opts=$avimp3_opts ;;
  esac
  files=$((files + 1))
  vvout="$work/out/$name.vv.$out_ext"
  ffout="$work/out/$name.ff.$out_ext"
  sentinel="standing file $name"
  printf '%s' "$sentinel" > "$vvout"
  vvopts=$opts
  [[ $opts == *libx264* ]] && vvopts="-fpre $preset $opts"
  timeout -s KILL $limit "$vv" -i "$in" -y $vvopts "$vvout" 2>"$work/err" >/dev/null
  code=$?
  ffopts=${opts//-b /-b:v }
  [[ $opts == *libx264* ]] && ffopts="-fpre:v $preset $ffopts"
  timeout -s KILL $limit ffmpeg -nostdin -v error -y -i "$in" $ffopts "$ffout" >/dev/null 2>&1
  ffcode=$?
  if [ $code -eq 137 ]; then hangs=$((hangs + 1)); echo "hang: $name" >&2; continue; fi
  if [ $code -ge 128 ]; then crashes=$((crashes + 1)); echo "crash ($code): $name" >&2; continue; fi
  if [ $code -ne 0 ]; then
    if [ "$(cat "$vvout" 2>/dev/null)" != "$sentinel" ]; then destroyed=$((destroyed + 1)); echo "destroyed: $name" >&2; fi
    last=$(tail -n 1 "$work/err")
    if [[ $last != "vv.exe: "* ]] || [[ $last == "vv.exe: note:"* ]]; then badreason=$((badreason + 1)); echo "bad reason: $name: $last" >&2; fi
    rm -f "$vvout"
  else
    vv_ok=$((vv_ok + 1))
  fi
  [ $ffcode -eq 0 ] && ff_ok=$((ff_ok + 1))
  [ $ffcode -eq 0 ] || rm -f "$ffout"
  read -r vv_v vv_a vv_d vv_play <<< "$(probe "$vvout")"
  read -r ff_v ff_a ff_d ff_play <<< "$(probe "$ffout")"
  longest=$((clip_seconds + 5))
  [[ $name == *double* ]] && longest=$((2 * clip_seconds + 5))  # two copies of the clip
  if awk -v d="$vv_d" -v l="$longest" 'BEGIN { exit !(d > l) }'; then
    runaway=$((runaway + 1)); echo "runaway ($vv_d s): $name" >&2
  fi
  vv_has_v=$(( vv_play && vv_v > 0 )); vv_has_a=$(( vv_play && vv_a > 0 ))
  ff_has_v=$(( ff_play && ff_v > 0 )); ff_has_a=$(( ff_play && ff_a > 0 ))
  if { [ $ff_has_v -eq 1 ] && [ $vv_has_v -eq 0 ]; } || { [ $ff_has_a -eq 1 ] && [ $vv_has_a -eq 0 ]; }; then
    better=$((better + 1))
    echo "ffmpeg better: $name (vv: code $code, v $vv_v a $vv_a play $vv_play: $(tail -n 1 "$work/err"); ffmpeg: v $ff_v a $ff_a play $ff_play)" >&2
  fi
  rm -f "$vvout" "$ffout"
done
echo "files $files (vv.exe succeeded on $vv_ok, ffmpeg on $ff_ok)"
echo "crashes $crashes"
echo "hangs $hangs"
echo "runaway $runaway"
echo "ffmpeg-better $better"
echo "destroyed $destroyed"
echo "bad-reason $badreason"
