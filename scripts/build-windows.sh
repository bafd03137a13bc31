#!/usr/bin/env bash
# Cross-builds Tolvani for 64-bit Windows into build-win/ (or $BUILD_DIR) with mingw-w64:
# tolvani.exe and vv.exe, static (no DLL beside them), with h264.dat and banner.html, and
# packs the program folder as tolvani-10.0.2-win64.zip and as the setup program
# tolvani-10.0.2-setup.exe (NSIS). Installs the toolchain when it is
# missing and unpacks the prebuilt Windows dependencies from ../shared/windows.
# Extra arguments go to CMake (the test command adds -DTOLVANI_WERROR=ON).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
build="${BUILD_DIR:-build-win}"
deps_archive="$here/../../shared/windows/deps-win64.tar.zst"

WINDOWS=1 scripts/setup.sh

mkdir -p "$build"
build=$(cd "$build" && pwd)
deps="$build/deps"
if [ ! -f "$deps/.unpacked" ] || [ "$deps_archive" -nt "$deps/.unpacked" ]; then
  [ -f "$deps_archive" ] || { echo "build-windows: $deps_archive is missing" >&2; exit 1; }
  rm -rf "$deps"
  mkdir -p "$deps"
  tar --zstd -xf "$deps_archive" -C "$deps"
  touch "$deps/.unpacked"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake" -DTOLVANI_WIN_DEPS="$deps" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake --build "$build" --target tolvani_zip tolvani_setup
