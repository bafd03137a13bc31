#!/usr/bin/env bash
# Checks with the Linux ffprobe what the end-to-end test under Wine wrote: each format's
# two outputs, with the streams of that format's default codecs, and the output of the
# conversion that closing the window stopped.
set -uo pipefail
out=$1
status=0
check() {  # file video audio (the streams in any order)
  local got want
  got=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$1" 2>&1 | sort | paste -sd' ')
  want=$(printf '%s\n' "$2" "$3" | sort | paste -sd' ')
  if [ "$got" != "$want" ]; then
    echo "$1: streams '$got', expected '$want'"
    status=1
  fi
}
while read -r format ext video audio; do
  for name in a "视频 b"; do check "$out/$format/$name.$ext" "$video" "$audio"; done
done <<'FORMATS'
3gp 3gp h263 amr_nb
3gpp2 3g2 h264 aac
mp4 mp4 mpeg4 aac
avi avi mpeg4 mp2
flv flv flv1 mp3
FORMATS
# The conversion the window's closing stopped: asked to stop, vv.exe finished its container.
check "$out/closed/long.3g2" h264 aac
[ $status -eq 0 ] && echo "every format's outputs, and the one stopped by the closing, probe right"
exit $status
