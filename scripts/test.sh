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

# The Windows build (cross-built with mingw-w64) and its tests under Wine, on the prebuilt
# Windows libraries that come beside the checkout (../shared/windows).
if [ -f ../shared/windows/deps-win64.tar.zst ]; then
  scripts/build-windows.sh -DTOLVANI_WERROR=ON
  ctest --test-dir build-win --output-on-failure
else
  echo "test: SKIPPED the Windows build and its tests: no ../shared/windows/deps-win64.tar.zst beside the checkout" >&2
fi
