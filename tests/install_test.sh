#!/usr/bin/env bash
# The installed program. Installs the build into a temporary DESTDIR; checks the desktop
# entry, the AppStream data and the .deb (its files, lintian); then, from a program folder
# that its user cannot write, starts the installed program with a clip on its command line
# and converts it with a real click on "立即转换": progress rises in the copy's own folder,
# the completion box appears, the output probes right, and the copy's folder is gone at
# the end. The test holds the installed vv.exe (SIGSTOP) and lets it go on in short steps,
# so the progress along the way is seen however fast the machine converts. Usage:
# install_test.sh BUILD_DIR (on a display; CTest runs it on its own).
set -euo pipefail
export LANG=C.UTF-8  # the window titles are Chinese
build=$(cd "$1" && pwd)
work=$(mktemp -d)
app=
stepper=
cleanup() {
  [ -n "$stepper" ] && kill "$stepper" 2>/dev/null
  [ -n "$app" ] && kill "$app" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

# ---- the installed files ----
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
id=org.tolvani.Tolvani
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null
[ "$(readlink "$root/usr/bin/tolvani")" = ../lib/tolvani/tolvani ] || fail "bin/tolvani is not a link to the program"

# ---- the package ----
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null
deb=$work/pkg/tolvani_10.0.2_amd64.deb
[ -f "$deb" ] || fail "no $deb"
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in usr/bin/tolvani usr/lib/tolvani/tolvani usr/lib/tolvani/vv.exe usr/lib/tolvani/h264.dat \
  usr/lib/tolvani/banner.html "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
  "usr/share/icons/hicolor/48x48/apps/$id.png" "usr/share/icons/hicolor/128x128/apps/$id.png" \
  "usr/share/icons/hicolor/256x256/apps/$id.png" usr/share/doc/tolvani/copyright; do
  grep -qx "./$f" <<<"$listing" || fail "the package lacks $f"
done
dpkg-deb -f "$deb" Depends | grep -q libwxgtk3.2 || fail "the package's dependencies were not computed"
lintian --fail-on error "$deb" >/dev/null 2>&1 || { lintian "$deb" >&2; fail "lintian reports an error"; }

# ---- a conversion by the installed program, from a folder its user cannot write ----
chmod 755 "$work"
chmod -R a-w "$root/usr/lib/tolvani"
as_user=()
if [ "$(id -u)" -eq 0 ]; then  # root writes anywhere: the program runs as nobody
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env)
  user=nobody
else
  user=$(id -un)
fi
mkdir -m 700 "$work/home" "$work/run"
ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=40 -f lavfi -i sine=duration=40 \
  -c:v mpeg4 -c:a libmp3lame -shortest "$work/home/clip.avi"
chown -R "$user" "$work/home" "$work/run"
"${as_user[@]}" env DISPLAY="$DISPLAY" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" LANG=C.UTF-8 \
  GDK_BACKEND=x11 NO_AT_BRIDGE=1 WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 WEBKIT_DISABLE_COMPOSITING_MODE=1 \
  WEBKIT_DISABLE_DMABUF_RENDERER=1 PATH=/usr/bin:/bin "$root/usr/bin/tolvani" "$work/home/clip.avi" &
app=$!

window=$(timeout 30 xdotool search --sync --name '^Tolvani 10\.0\.2$' | head -n1) || fail "the window did not open"
sleep 1  # let it lay out and paint
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
# "立即转换" sits at 301,226 (62 by 17) in the window's 455 by 260 dialog units.
click_x=$((X + (301 + 31) * WIDTH / 455))
click_y=$((Y + (226 + 8) * HEIGHT / 260))
before=$(xdotool search --name . | sort)

# The converter the window starts is held and let go on in steps of 10 ms of work, each
# after a pause longer than its 250 ms between progress writes, until its progress file
# shows a value along the way: whatever the machine's speed, a step is a small part of a
# 40 s clip's conversion.
step_converter() {
  local tool= v
  for _ in $(seq 3000); do
    tool=$(pgrep -P "$app" -x vv.exe | head -n1) && break
    sleep 0.01
  done
  [ -n "$tool" ] || return 0
  kill -STOP "$tool" 2>/dev/null || return 0
  for _ in $(seq 2000); do
    v=$(cat "$work"/run/tolvani-*/progress.txt 2>/dev/null) || v=
    if [[ "$v" =~ ^[0-9]+$ ]] && [ "$v" -gt 0 ] && [ "$v" -lt 1000 ]; then
      echo "$v" >"$work/held"
      break
    fi
    sleep 0.3
    kill -CONT "$tool" 2>/dev/null || return 0
    sleep 0.01
    kill -STOP "$tool" 2>/dev/null || return 0
  done
  kill -CONT "$tool" 2>/dev/null
  return 0
}
step_converter &
stepper=$!
xdotool mousemove "$click_x" "$click_y" click 1

progress_seen=" "
note_progress() {
  for f in "$work"/run/tolvani-*/progress.txt; do
    [ -f "$f" ] && v=$(cat "$f" 2>/dev/null) && [ -n "$v" ] && [[ "$progress_seen" != *" $v "* ]] && progress_seen+="$v "
  done
  return 0
}
box=
for _ in $(seq 600); do
  note_progress
  # The completion box: a window that was not there before the click.
  box=$(comm -13 <(echo "$before") <(xdotool search --name "^tolvani$" | sort) | head -n1)
  [ -n "$box" ] && break
  kill -0 "$app" 2>/dev/null || fail "the program ended during the run"
  sleep 0.1
done
[ -n "$box" ] || fail "no completion box (progress seen:$progress_seen)"
note_progress
wait "$stepper" || true
stepper=
held=$(cat "$work/held" 2>/dev/null) || held=
echo "progress seen:$progress_seen(held at $held)"
[ -n "$held" ] || fail "no progress along the way"
[[ "$progress_seen" == *" 1000 "* ]] || fail "the progress never reached 1000"
[ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$work/home/clip.3gp")" = h263 ] \
  || fail "the output is not an H.263 3gp"
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/home/clip.3gp")
[ "${seconds%.*}" -ge 39 ] || fail "the output holds $seconds s of the 40 s clip"

# Dismiss the box, close the window with Escape, and the copy's folder is gone.
xdotool mousemove --window "$box" 10 10 key Return
sleep 0.5
xdotool mousemove "$click_x" "$click_y" key Escape
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not end on Escape"
wait "$app" || true
app=
ls "$work"/run/tolvani-* >/dev/null 2>&1 && fail "the copy's folder was left behind"
echo "the installed program converted from a read-only program folder"
