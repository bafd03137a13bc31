#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine, on a virtual display of its own:
#   with_wine.sh PREFIX PROGRAM [ARGS...]
# The Wine prefix is made on first use (about 11 s) and kept for the next tests; Wine's
# server is stopped when the program ends, so that nothing of the run outlives it. The
# Windows tests share the prefix, so they run one at a time (RESOURCE_LOCK).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TOLVANI_WINE_ON_DISPLAY:-}" ]; then
  export TOLVANI_WINE_ON_DISPLAY=1
  exec "$here/../helpers/with_display.sh" "$0" "$@"
fi
export WINEPREFIX=$1
shift
. "$here/wine_env.sh"
make_wine_prefix
$wine "$@"
rc=$?
$server -k 2>/dev/null
$server -w 2>/dev/null
exit $rc
