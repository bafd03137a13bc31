#!/usr/bin/env bash
# Runs a command on a virtual display of its own (1024x768, 24 bits), so that a window
# test runs alone or beside others, with or without a display of the user's.
set -uo pipefail
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
server=$!
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "with_display: the virtual display did not start" >&2
  cat "$dir/log" >&2
  rm -rf "$dir"
  exit 1
fi
export DISPLAY=":$(head -n1 "$dir/display")"
"$@"
rc=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit $rc
