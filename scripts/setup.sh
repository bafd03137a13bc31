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
# The Windows build (scripts/build-windows.sh, which names the posix-threads compilers of
# mingw-w64), its setup program (NSIS) and its tests under Wine.
if [ -n "${WINDOWS:-}" ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nsis wine64 wine zstd locales)
fi

# Wine takes its code page and its fonts' fallbacks from the locale: the Windows tests run
# with LANG=zh_CN.UTF-8, which must exist for Chinese names and labels to come through.
add_chinese_locale() {
  [ -n "${WINDOWS:-}" ] || return 0
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && return 0
  echo "setup: adding the zh_CN.UTF-8 locale"
  $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then sudo="sudo"; fi
if [ ${#missing[@]} -eq 0 ]; then
  add_chinese_locale
  exit 0
fi

if [ "$(id -u)" -ne 0 ] && [ -z "$sudo" ]; then
  echo "setup: missing packages (${missing[*]}) and no root rights to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
add_chinese_locale
