#!/usr/bin/env bash
# Builds Tolvani and runs the whole test suite: the logic tests, the window tests under
# a virtual display started here, and the job tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

export LANG=C.UTF-8
# WebKit (the banner) as root in a container without a GPU.
export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 WEBKIT_DISABLE_COMPOSITING_MODE=1 WEBKIT_DISABLE_DMABUF_RENDERER=1
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build --output-on-failure

# The job and its worker thread under ThreadSanitizer.
BUILD_DIR=build-tsan scripts/build.sh -DTOLVANI_TSAN=ON -DTOLVANI_GUI=OFF
ctest --test-dir build-tsan --output-on-failure -L job
