#!/usr/bin/env bash
# Times vv.exe against the ffmpeg command line, and vv.exe's stages on threads of their
# own against all on one thread, on generated inputs that do not compress trivially
# (moving test pictures with noise; a tone with pink noise):
#   480p: 640x480 MPEG-4 at 3 Mbit/s with MP3 sound, in an AVI, 20 s (and 120 s: 480p120,
#         the avi default only)
#   720p: 1280x720 H.264 at 4 Mbit/s with AAC sound, in an MP4, 20 s
# and prints, for each input:
#   - the mp4, avi and flv defaults: vv.exe / ffmpeg wall time. ffmpeg gets the options
#     vv.exe gets, in its own spelling (-b:v, -b:a), plus what vv.exe does without being
#     told: -pix_fmt yuv420p and -sws_flags bicubic (the scaler's default in both). The
#     last column is ffmpeg once more with vv.exe's own filter chain (frame rate first,
#     then size and pixel format), which scales only the pictures that are kept;
#   - the 3gp and 3gpp2 defaults (AMR-NB, which this ffmpeg cannot encode, and H.264 with
#     h264.dat): vv.exe / vv.exe with every stage on one thread (TOLVANI_VV_ONE_THREAD=1).
# Each ratio is the median over several pairs of runs, the two runs of a pair back to back
# and in turns which goes first, so that both see the same load. "cpu" is user+sys time
# over wall time (the machine's cores in use, on average), median of the runs.
# On a machine shared with other work, a pair starts after a quiet second (waiting a
# minute at most) and is run again (twice at most) when other processes used more than
# 0.15 of a core meanwhile; "others" is what they used during the pairs kept (median).
# Usage: bench/vv_vs_ffmpeg.sh [build-dir] [pairs]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
pairs="${2:-5}"
vv="$(pwd)/$build/bin/vv.exe"
preset="$(pwd)/$build/bin/h264.dat"
[ -x "$vv" ] || { echo "no $vv: build first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TOLVANI_PROGRESS_FILE="$work/progress.txt"

sound() {  # rate [seconds]
  echo "-f lavfi -i sine=frequency=440:sample_rate=$1:duration=${2:-20} \
    -f lavfi -i anoisesrc=color=pink:amplitude=0.2:sample_rate=$1:duration=${2:-20} \
    -filter_complex [1:a][2:a]amix=inputs=2,aformat=channel_layouts=stereo[a] -map 0:v -map [a]"
}
echo "making the inputs..."
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=20,noise=alls=12:allf=t+u" \
  $(sound 44100) -c:v mpeg4 -b:v 3M -c:a libmp3lame -b:a 192k "$work/480p.avi"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=120,noise=alls=12:allf=t+u" \
  $(sound 44100 120) -c:v mpeg4 -b:v 3M -c:a libmp3lame -b:a 192k "$work/480p120.avi"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=20,noise=alls=8:allf=t+u" \
  $(sound 48000) -c:v libx264 -preset veryfast -b:v 4M -c:a aac -b:a 160k "$work/720p.mp4"

# The format defaults as the window hands them to vv.exe (tests/helpers/format_defaults.h).
declare -A options=(
  [mp4]="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
  [avi]="-vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -acodec mp2 -ar 22050 -ab 128k -ac 2"
  [flv]="-vcodec flv -b 256k -s 320x240 -r 14.985 -acodec libmp3lame -ar 44100 -ab 128k -ac 2"
  [3gp]="-vcodec h263 -b 256k -s 176x144 -r 14.985 -acodec libopencore_amrnb -ar 8000 -ab 12.2k -ac 1"
  [3g2]="-fpre $preset -vcodec libx264 -b 512k -s 320x240 -r 14.985 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2"
)
declare -A chain=(
  [mp4]="fps=fps=2997/125,scale=320:240,format=pix_fmts=yuv420p"
  [avi]="fps=fps=2997/125,scale=320:240,format=pix_fmts=yuv420p"
  [flv]="fps=fps=2997/200,scale=320:240,format=pix_fmts=yuv420p"
)
ffmpeg_options() {  # format
  local o="${options[$1]}"
  o="${o//-b /-b:v }"
  echo "${o//-ab /-b:a } -pix_fmt yuv420p -sws_flags bicubic"
}

# Runs a command; prints "wall cpu" (seconds, user+sys seconds).
timed() {
  local t
  t=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<<"$t"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The machine's busy time so far, in clock ticks (user, nice, system, interrupts).
busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat; }
ticks=$(getconf CLK_TCK)
quiet() {  # waits for a second in which the machine is at most 10 % busy (a minute at most)
  local i b0 b1
  for i in $(seq 60); do
    b0=$(busy_ticks); sleep 1; b1=$(busy_ticks)
    if [ $((b1 - b0)) -le $((ticks * $(nproc) / 10)) ]; then return 0; fi
  done
  return 0
}

# compare -- command A -- command B: times `pairs` pairs, keeps the medians in `result`.
declare -A result
redone=0 others=()
compare() {
  local a=() b=() at=() bt=() ac=() bc=() ratios=() i try ta tb b0 b1 other
  shift
  while [ "$1" != "--" ]; do a+=("$1"); shift; done; shift
  b=("$@")
  for i in $(seq "$pairs"); do
    for try in 1 2 3; do
      quiet
      b0=$(busy_ticks)
      if [ $((i % 2)) -eq 1 ]; then ta=$(timed "${a[@]}"); tb=$(timed "${b[@]}"); else tb=$(timed "${b[@]}"); ta=$(timed "${a[@]}"); fi
      b1=$(busy_ticks)
      # Cores other processes used meanwhile, on average.
      other=$(awk -v d=$((b1 - b0)) -v t="$ticks" -v ca="${ta#* }" -v cb="${tb#* }" -v wa="${ta% *}" -v wb="${tb% *}" \
        'BEGIN { o = (d / t - ca - cb) / (wa + wb); print o < 0 ? 0 : o }')
      if awk -v o="$other" 'BEGIN { exit !(o <= 0.15) }'; then break; fi
      if [ "$try" -lt 3 ]; then redone=$((redone + 1)); fi
    done
    others+=("$other")
    at+=("${ta% *}"); ac+=("$(awk -v w="${ta% *}" -v c="${ta#* }" 'BEGIN { print c / w }')")
    bt+=("${tb% *}"); bc+=("$(awk -v w="${tb% *}" -v c="${tb#* }" 'BEGIN { print c / w }')")
    ratios+=("$(awk -v x="${ta% *}" -v y="${tb% *}" 'BEGIN { print x / y }')")
  done
  result[a]=$(printf '%s\n' "${at[@]}" | median) result[acpu]=$(printf '%s\n' "${ac[@]}" | median)
  result[b]=$(printf '%s\n' "${bt[@]}" | median) result[bcpu]=$(printf '%s\n' "${bc[@]}" | median)
  result[ratio]=$(printf '%s\n' "${ratios[@]}" | median)
}

echo "median of $pairs pairs on $(nproc) cores; times in s, cpu = (user+sys)/wall; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-7s %-6s %8s %5s %9s %5s %10s   %s\n' input format vv.exe cpu ffmpeg cpu vv/ffmpeg "vv/ffmpeg with vv.exe's filter chain"
versus_ffmpeg() {  # input format
  local in="$work/$1" fmt="$2" out="$work/out.$2" line
  compare -- "$vv" -i "$in" -y ${options[$fmt]} "$out" \
    -- ffmpeg -nostdin -v error -y -i "$in" $(ffmpeg_options "$fmt") "$work/ff.$fmt"
  line=$(printf '%-7s %-6s %8.3f %5.2f %9.3f %5.2f %10.3f' "${1%%.*}" "$fmt" "${result[a]}" "${result[acpu]}" \
    "${result[b]}" "${result[bcpu]}" "${result[ratio]}")
  compare -- "$vv" -i "$in" -y ${options[$fmt]} "$out" \
    -- ffmpeg -nostdin -v error -y -i "$in" $(ffmpeg_options "$fmt") -vf "${chain[$fmt]}" "$work/ff.$fmt"
  printf '%s   %.3f\n' "$line" "${result[ratio]}"
}
for input in 480p.avi 720p.mp4; do
  for fmt in mp4 avi flv; do versus_ffmpeg "$input" "$fmt"; done
done
# The avi default on a longer input, where a steady pace counts more than the start.
versus_ffmpeg 480p120.avi avi
echo
printf '%-5s %-6s %8s %5s %10s %5s %12s\n' input format vv.exe cpu "one thread" cpu "vv/one thread"
for input in 480p.avi 720p.mp4; do
  in="$work/$input"
  for fmt in 3gp 3g2; do
    out="$work/out.$fmt"
    compare -- "$vv" -i "$in" -y ${options[$fmt]} "$out" \
      -- env TOLVANI_VV_ONE_THREAD=1 "$vv" -i "$in" -y ${options[$fmt]} "$work/one.$fmt"
    printf '%-5s %-6s %8.3f %5.2f %10.3f %5.2f %12.3f\n' "${input%%.*}" "$fmt" "${result[a]}" "${result[acpu]}" \
      "${result[b]}" "${result[bcpu]}" "${result[ratio]}"
  done
done
echo
echo "others $(printf '%s\n' "${others[@]}" | median) cores (median over the pairs kept); pairs redone $redone;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
