#!/usr/bin/env bash
# The setup program as a Windows user meets it, under Wine in a fresh prefix of its own:
#   setup_test.sh SETUP PROGRAM_FOLDER FIND_CONTROL CLIP PREFIX
# A silent install; the installed files, the Start-menu shortcut with the program's icon,
# the uninstall entry and "Open with" (no default program taken over); the installed
# program started with CLIP as its argument, converting it at a pointer click on
# "立即转换"; a silent uninstall, after which nothing of the setup is left while the
# converted file and the run log stay.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TOLVANI_WINE_ON_DISPLAY:-}" ]; then
  export TOLVANI_WINE_ON_DISPLAY=1
  exec "$here/../helpers/with_display.sh" "$0" "$@"
fi
setup=$1 folder=$2 find_control=$3 clip=$4
export WINEPREFIX=$5
. "$here/wine_env.sh"
sorted() { LC_ALL=C sort "$@"; }
compare() { LC_ALL=C comm "$@"; }
if [ ! -f "$setup" ]; then
  echo "setup_test: skipped: no $setup (the build found no makensis; scripts/build-windows.sh installs NSIS)"
  exit 77
fi
command -v xdotool >/dev/null || { echo "setup_test: skipped: no xdotool"; exit 77; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Waits for every Wine process to end (ending them first with -k), so that the registry
# is written out to the prefix's files.
settle() {
  $server "$@" 2>/dev/null
  $server -w 2>/dev/null
}
tmp=$(mktemp -d)
trap 'settle -k; rm -rf "$tmp"' EXIT

rm -rf "$WINEPREFIX"
make_wine_prefix
drive=$WINEPREFIX/drive_c
dir="$drive/Program Files/Tolvani"
win_dir='C:\Program Files\Tolvani'
lnk="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvani.lnk"
exts=(.rm .rmvb .avi .wmv .asf .mpg .mpeg .mp4 .3gp .3g2 .3gpp2 .swf .flv .mov .mkv .webm .m4v .ts .mts .m2ts .ogv)

# The prefix's files (outside Wine's own folder and the temporary folders) and its
# machine registry, one "key|value" line per value and a "key|" line per key.
snapshot() {
  (cd "$drive" && find . \( -path ./windows -o -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \) \
    -prune -o \( -type f -o -type l \) -print | sorted) >"$tmp/$1.files"
  awk '/^\[/ { key = $0; sub(/^\[/, "", key); sub(/\] [0-9]+$/, "", key); gsub(/\\\\/, "\\", key); print key "|"; next }
       /^#/ || /^$/ || key == "" { next }
       { print key "|" $0 }' "$WINEPREFIX/system.reg" | sorted >"$tmp/$1.reg"
}
# The value NAME ("@" for the default) of KEY in snapshot WHEN, as the registry file
# writes it ("text" with backslashes doubled, dword:..., hex(0):).
value() {  # when key name
  local quoted
  [ "$3" = "@" ] && quoted="@" || quoted="\"$3\""
  grep -F -- "$2|$quoted=" "$tmp/$1.reg" | head -n1 | cut -d'|' -f2- | cut -d= -f2-
}
expect_value() {  # key name expected
  local got
  got=$(value installed "$1" "$2")
  [ "$got" = "$3" ] || fail "registry $1 $2: '$got', expected '$3'"
}

# A video type whose default program is another one's: it stays so.
$wine reg add 'HKLM\Software\Classes\.mp4' /ve /d OtherPlayer.mp4 /f >/dev/null
settle
snapshot before

# ---- A silent install.
$wine "$setup" /S
rc=$?
settle
[ $rc -eq 0 ] || fail "setup /S exited with $rc"
snapshot installed

# The program folder's files, as the build made them, and the uninstaller; nothing else.
for f in "$folder"/*; do
  cmp -s "$f" "$dir/$(basename "$f")" || fail "installed $(basename "$f") differs from the program folder's or is missing"
done
[ -f "$dir/uninstall.exe" ] || fail "no uninstall.exe in $dir"
extra=$(compare -13 <(cd "$folder" && { ls; echo uninstall.exe; } | sorted) <(cd "$dir" 2>/dev/null && ls | sorted))
[ -z "$extra" ] || fail "unexpected files in the program folder: $extra"
for f in COPYING NOTICES.txt tolvani.exe vv.exe h264.dat banner.html; do
  [ -f "$dir/$f" ] || fail "$f is not installed"
done

# The Start-menu shortcut starts tolvani.exe and shows its first icon, which is the
# program's own (named TOLVANI in the executable's resources, ahead of the toolkit's).
if [ -f "$lnk" ]; then
  { strings -a "$lnk"; strings -el "$lnk"; } | grep -F "$win_dir\\tolvani.exe" >/dev/null ||
    fail "the shortcut does not name $win_dir\\tolvani.exe"
else
  fail "no Start-menu shortcut $lnk"
fi
resources=$(x86_64-w64-mingw32-objdump -p "$dir/tolvani.exe" | sed -n '/The .rsrc Resource Directory/,$p')
icons=$(grep -m1 -E '^[0-9a-f]+ {3}Entry: ID: 0x00000e,' <<<"$resources" | sed -E 's/.*Value: 0x80*//')
first_icon=$(grep -A1 -E "^0*$icons +Name Table" <<<"$resources" | tail -n1)
[[ $first_icon == *": TOLVANI,"* ]] || fail "tolvani.exe's first icon is not the program's: $first_icon"

# The entry in the list of installed programs.
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvani'
w=${win_dir//\\/\\\\}
expect_value "$key" DisplayName '"Tolvani"'
expect_value "$key" DisplayVersion '"10.0.2"'
expect_value "$key" Publisher '"The Tolvani developers"'
expect_value "$key" DisplayIcon "\"$w\\\\tolvani.exe,0\""
expect_value "$key" UninstallString "\"\\\"$w\\\\uninstall.exe\\\"\""
size=$(value installed "$key" EstimatedSize)
kb=$(du -sk "$dir" | cut -f1)
[[ $size == dword:* ]] && (($((16#${size#dword:})) * 10 > kb * 9)) || fail "EstimatedSize $size for $kb kB"

# "Open with": the application, its file type and the video types that list it; what
# each type had before (its default program among it) is as it was.
command="\"\\\"$w\\\\tolvani.exe\\\" \\\"%1\\\"\""
expect_value 'Software\Classes\Applications\tolvani.exe\shell\open\command' @ "$command"
expect_value 'Software\Classes\Tolvani.Video\shell\open\command' @ "$command"
for ext in "${exts[@]}"; do
  expect_value 'Software\Classes\Applications\tolvani.exe\SupportedTypes' "$ext" '""'
  expect_value "Software\\Classes\\$ext\\OpenWithProgids" Tolvani.Video 'hex(0):'
  diff <(grep -F "Software\\Classes\\$ext|" "$tmp/before.reg") <(grep -F "Software\\Classes\\$ext|" "$tmp/installed.reg") \
    >/dev/null || fail "the setup changed the values of $ext"
done

# ---- The installed program, started with the clip, converts it at a click on "立即转换".
$wine "$win_dir\\tolvani.exe" "Z:${clip//\//\\}" >/dev/null 2>&1 &
if read -r x y < <($wine "$find_control" "立即转换" 60 | tr -d '\r'); then
  xdotool mousemove "$x" "$y" click 1
  $wine "$find_control" "转换完成" 120 >/dev/null || fail "the conversion did not end with 转换完成"
else
  fail "the installed program's window did not open"
fi
settle -k
name=$(basename "${clip%.*}")
output=$(find "$drive/users" -name "$name.3gp" -size +1k | head -n1)
[ -n "$output" ] || fail "no converted $name.3gp"
log=$(find "$drive/users" -path '*/AppData/Local/tolvani/tolvani.log' | head -n1)
[ -n "$log" ] || fail "no run log"

# ---- A silent uninstall (the uninstaller runs from a copy of itself: settle waits for it).
$wine "$win_dir\\uninstall.exe" /S
settle
snapshot uninstalled
[ ! -e "$dir" ] || fail "the program folder is still there: $(ls "$dir")"
[ ! -e "$lnk" ] || fail "the Start-menu shortcut is still there"
[ -z "$output" ] || [ -f "$output" ] || fail "the uninstaller removed the converted file"
[ -z "$log" ] || [ -f "$log" ] || fail "the uninstaller removed the run log"
# Of what the install added, nothing is left but the program's own output and log.
left=$(compare -13 "$tmp/before.files" "$tmp/uninstalled.files" | grep -v -e "/$name.3gp$" -e '/tolvani/tolvani.log$')
[ -z "$left" ] || fail "files left behind: $left"
# The machine's software settings are as before. (Wine rewrites its hardware keys and
# network cards at each start; the uninstaller's copy of itself in the temporary folder
# is to be deleted at the next start of Windows, as Windows does it.)
software() { grep -E '^Software\\' "$tmp/$1.reg" | grep -v -F 'Software\Microsoft\Windows NT\CurrentVersion\NetworkCards'; }
left=$(compare -13 <(software before) <(software uninstalled))
[ -z "$left" ] || fail "registry left behind: $left"
gone=$(compare -23 <(software before) <(software uninstalled))
[ -z "$gone" ] || fail "registry lost: $gone"
pending=$(grep -F 'Session Manager|"PendingFileRenameOperations"' "$tmp/uninstalled.reg" | cut -d: -f2-)
while read -r part; do
  [ -z "$part" ] || [[ $part == *'\\Temp\\~nsu'* ]] || fail "to be deleted at the next start: $part"
done < <(sed -e 's/^"//' -e 's/"$//' -e 's/\\0/\n/g' <<<"$pending")

# ---- /D= picks the folder, a Chinese name among it (unquoted, as NSIS wants it: so, for
# Wine's command line, without spaces); the uninstaller there removes it.
other='C:\视频工具\Tolvani'
other_dir="$drive/视频工具/Tolvani"
$wine "$setup" /S "/D=$other"
settle
[ -f "$other_dir/tolvani.exe" ] || fail "/D=$other: no tolvani.exe there"
$wine "$other\\uninstall.exe" /S
settle
[ ! -e "$other_dir" ] || fail "/D=$other: the folder is still there after the uninstall"

if [ $failures -eq 0 ]; then
  echo "setup: installed, converted, uninstalled; nothing of the setup is left"
  rm -rf "$WINEPREFIX"
fi
exit $((failures > 0))
