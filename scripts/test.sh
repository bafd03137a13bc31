#!/usr/bin/env bash
# Builds Tolvani (warnings are errors here) and runs the whole test suite: the logic, job
# and vv.exe tests, the window tests (each on a virtual display of its own), the job tests
# once more under ThreadSanitizer, the logic, job and vv.exe tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, vv.exe's option parsing under libFuzzer for a minute,
# and the Windows build with its tests under Wine.
# Every part runs even when an earlier one failed; the end says which failed.
set -euo pipefail
cd "$(dirname "$0")/.."
WINDOWS=1 scripts/setup.sh  # everything both builds need, in one install

failed=()
part() {  # part NAME COMMAND...: runs one part of the suite and notes a failure
  local name=$1
  shift
  echo "test: === $name ==="
  if ! "$@"; then
    failed+=("$name")
    echo "test: FAILED: $name" >&2
  fi
}

suite() {
  scripts/build.sh -DTOLVANI_WERROR=ON && ctest --test-dir build --output-on-failure -j"$(nproc)"
}
part "the build and its tests" suite

# The job's worker thread, and vv.exe's queues and stages on short conversions, under
# ThreadSanitizer.
tsan() {
  BUILD_DIR=build-tsan scripts/build.sh -DTOLVANI_TSAN=ON -DTOLVANI_GUI=OFF -DTOLVANI_WERROR=ON &&
    ctest --test-dir build-tsan --output-on-failure -L 'job|tsan'
}
part "ThreadSanitizer" tsan

# Memory errors and undefined behaviour, on every machine (valgrind cannot run everywhere):
# the logic, job and vv.exe tests with vv.exe built with the sanitizers, FFmpeg's own
# libraries as they are. The first report ends the program with status 86, which no test
# takes for one of vv.exe's own outcomes.
asan() {
  BUILD_DIR=build-asan scripts/build.sh -DTOLVANI_ASAN=ON -DTOLVANI_GUI=OFF -DTOLVANI_WERROR=ON &&
    ASAN_OPTIONS="halt_on_error=1:exitcode=86:detect_leaks=1" \
      LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/leaks.supp:print_suppressions=0" \
      UBSAN_OPTIONS="halt_on_error=1:exitcode=86:print_stacktrace=1" \
      ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -L 'core|job|vv'
}
part "AddressSanitizer and UndefinedBehaviorSanitizer" asan

# vv.exe's command line and preset parsing under libFuzzer with the sanitizers, for a
# bounded time (FUZZ_SECONDS, 60 by default); skipped with its reason where clang cannot
# build a libFuzzer program.
fuzz() {
  local status=0
  scripts/fuzz.sh || status=$?
  if [ "$status" -eq 77 ]; then
    echo "test: SKIPPED the fuzz run (the reason is above)" >&2
    return 0
  fi
  return "$status"
}
part "fuzzing vv.exe's command line" fuzz

# The Windows build (cross-built with mingw-w64) and its tests under Wine, on the prebuilt
# Windows libraries that come beside the checkout (../shared/windows).
if [ -f ../shared/windows/deps-win64.tar.zst ]; then
  windows() { scripts/build-windows.sh -DTOLVANI_WERROR=ON && ctest --test-dir build-win --output-on-failure; }
  part "the Windows build and its tests under Wine" windows
else
  echo "test: SKIPPED the Windows build and its tests: no ../shared/windows/deps-win64.tar.zst beside the checkout" >&2
fi

if [ ${#failed[@]} -ne 0 ]; then
  printf 'test: FAILED: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "test: every part passed"
