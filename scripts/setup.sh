#!/usr/bin/env bash
# Installs the Debian packages that Tolvani needs to build, run and test, when any is
# missing: one apt-get update, then one apt-get install. Quick when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libwxgtk3.2-dev libwxgtk-webview3.2-dev libgtk-3-dev
  libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libswresample-dev libavutil-dev
  libopencore-amrnb-dev
  libgtest-dev
  fonts-wqy-microhei
  xvfb xauth ffmpeg valgrind
  dpkg-dev lintian desktop-file-utils appstream xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then sudo="sudo"; else
    echo "setup: missing packages (${missing[*]}) and no root rights to install them" >&2
    exit 1
  fi
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
