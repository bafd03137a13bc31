#!/usr/bin/env bash
# Builds Tolvani (warnings are errors here) and runs the whole test suite: the logic, job
# and vv.exe tests, the window tests (each on a virtual display of its own), the job tests
# once more under ThreadSanitizer, and the Windows build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
WINDOWS=1 scripts/setup.sh  # everything both builds need, in one install
scripts/build.sh -DTOLVANI_WERROR=ON

ctest --test-dir build --output-on-failure -j"$(nproc)"

# The job and its worker thread under ThreadSanitizer.
BUILD_DIR=build-tsan scripts/build.sh -DTOLVANI_TSAN=ON -DTOLVANI_GUI=OFF -DTOLVANI_WERROR=ON
ctest --test-dir build-tsan --output-on-failure -L job

# The Windows build (cross-built with mingw-w64) and its tests under Wine.
scripts/build-windows.sh -DTOLVANI_WERROR=ON
ctest --test-dir build-win --output-on-failure
