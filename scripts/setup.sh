#!/usr/bin/env bash
# Installs the Debian packages that Tolvani needs to build, run and test, when any is
# missing: one apt-get update, then one apt-get install. Quick when all are there.
# Debian 12 (bookworm) and Debian 13 (trixie) are supported; the release is read from
# /etc/os-release. WINDOWS=1 adds the Windows cross-build and Wine.
set -euo pipefail

# What every supported release needs under the same names (clang with its libFuzzer
# run-time, libclang-rt-dev, builds vv.exe's fuzz target: scripts/fuzz.sh).
common=(
  build-essential cmake ninja-build pkg-config
  libwxgtk3.2-dev libwxgtk-webview3.2-dev libgtk-3-dev
  libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libswresample-dev libavutil-dev
  libopencore-amrnb-dev
  libgtest-dev
  fonts-wqy-microhei
  xvfb xauth ffmpeg valgrind
  dpkg-dev lintian desktop-file-utils appstream xdotool
  dbus-bin dbus-daemon at-spi2-core python3-pyatspi imagemagick
  clang libclang-rt-dev
)
# The Windows build (scripts/build-windows.sh, which names the posix-threads compilers of
# mingw-w64), its setup program (NSIS) and its tests under Wine.
windows=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nsis wine64 wine zstd locales)

# What differs by release. The wxWidgets web view brings its WebKitGTK (4.0 on Debian 12,
# 4.1 on Debian 13) and the run-time libraries take each release's names (FFmpeg 5.1's
# libavcodec59 and 7.1's libavcodec61, the t64 names of Debian 13) through the -dev
# packages above; a package whose name changes between releases goes here.
release_packages() {
  case "$1" in
    bookworm) ;;
    trixie) ;;
  esac
}

os_id=unknown os_version=unknown os_name="an unknown system"
if [ -r /etc/os-release ]; then
  # shellcheck disable=SC1091
  . /etc/os-release
  os_id=${ID:-unknown} os_version=${VERSION_ID:-} os_name=${PRETTY_NAME:-$os_id}
fi
case "$os_id:$os_version" in
  debian:12) release=bookworm ;;
  debian:13) release=trixie ;;
  *)
    cat >&2 <<EOF
setup: this is $os_name; Tolvani's set-up supports Debian 12 (bookworm) and Debian 13 (trixie).
setup: elsewhere, install by hand what these Debian packages give, then run the build:
setup:   a C++20 compiler, CMake and Ninja, pkg-config; wxWidgets 3.2 for GTK3 with its
setup:   web view (WebKitGTK); FFmpeg 5.1 to 7.1 (libavformat, libavcodec, libavfilter,
setup:   libswscale, libswresample, libavutil) and libopencore-amrnb; GoogleTest; a CJK
setup:   font; Xvfb, xauth, xdotool, the ffmpeg tools and valgrind for the tests.
setup:   Debian's names: ${common[*]}
setup:   for the Windows build: ${windows[*]}
EOF
    exit 1
    ;;
esac

packages=("${common[@]}")
read -r -a extra <<<"$(release_packages "$release")"
packages+=("${extra[@]}")
if [ -n "${WINDOWS:-}" ]; then packages+=("${windows[@]}"); fi

sudo=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then sudo="sudo"; fi

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
if [ ${#missing[@]} -eq 0 ]; then
  add_chinese_locale
  exit 0
fi

if [ "$(id -u)" -ne 0 ] && [ -z "$sudo" ]; then
  echo "setup: missing packages (${missing[*]}) and no root rights to install them" >&2
  exit 1
fi
echo "setup: installing on Debian $os_version ($release): ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
add_chinese_locale
