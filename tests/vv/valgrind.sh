#!/usr/bin/env bash
# vv.exe under valgrind's memcheck on a one-second clip, through two profiles (mp4 with
# AAC, 3gp with H.263 and AMR-NB): any memory error or definitely lost block fails.
# Usage: valgrind.sh VV_EXE
set -euo pipefail
vv="$1"
command -v valgrind >/dev/null || { echo "SKIPPED: valgrind is not installed (scripts/setup.sh installs it)"; exit 77; }
# On some processors valgrind cannot run anything linked to the system's FFmpeg: it dies in
# a library's start-up code (an instruction it does not know), before vv.exe's main. vv.exe
# without arguments reaches main and says that the input is missing; when it does not get
# that far under valgrind, this machine cannot run the check, which is skipped, not failed.
# Memory errors in that first run still fail (valgrind's error status, 99).
probe_status=0
probe=$(valgrind -q --error-exitcode=99 "$vv" 2>&1) || probe_status=$?
if [ "$probe_status" -eq 99 ]; then
  printf '%s\n' "$probe"
  echo "vv.exe has memory errors under valgrind before it reads its arguments" >&2
  exit 1
fi
if ! grep -q '^vv.exe: ' <<<"$probe"; then
  echo "SKIPPED: valgrind cannot run vv.exe on this machine (status $probe_status):"
  printf '%s\n' "$probe" | head -n 5
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TOLVANI_PROGRESS_FILE="$work/progress.txt"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
  -f lavfi -i sine=sample_rate=44100:duration=1 -ac 2 -c:v mpeg4 -c:a libmp3lame -shortest "$work/clip.avi"
check() {
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    "$vv" -i "$work/clip.avi" -y "$@"
}
check -vcodec mpeg4 -b 512k -s 320x240 -r 23.976 -strict experimental -acodec aac -ar 44100 -ab 112k -ac 2 "$work/out.mp4"
check -vcodec h263 -b 256k -s 176x144 -r 14.985 -acodec libopencore_amrnb -ar 8000 -ab 12.2k -ac 1 "$work/out.3gp"
echo "vv.exe is clean under valgrind"
