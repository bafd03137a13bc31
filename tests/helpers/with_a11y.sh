#!/usr/bin/env bash
# Runs a window test with the accessibility bus that screen readers use: a session bus of
# its own (dbus-run-session), on which GTK's bridge finds the bus launcher of at-spi2-core,
# and a virtual display. Skips (77) with the reason when a piece is missing.
set -uo pipefail
here=$(dirname "$0")
command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session (package dbus-bin) is not installed"; exit 77; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "skipped: at-spi2-core's bus launcher is not installed"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
command -v xdotool >/dev/null || { echo "skipped: xdotool is not installed: the keys cannot be typed"; exit 77; }
unset NO_AT_BRIDGE
export GTK_A11Y=atk
exec dbus-run-session -- "$here/with_display.sh" "$@"
