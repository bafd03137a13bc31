#!/usr/bin/env bash
# Builds vv.exe's command-line and preset fuzz target with clang's libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer, into build-fuzz/ (or $BUILD_DIR), and
# runs it for FUZZ_SECONDS (60 by default) from the corpus in tests/fuzz/corpus: the real
# command lines of the five formats' defaults and their variants. New inputs it finds go
# to the build directory, never into the checkout. Exits 77 (skipped) with the reason
# where clang cannot build a libFuzzer program, 1 when the target crashed or a sanitizer
# reported (the input is kept as build-fuzz/crash-*).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cpp"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: SKIPPED: no clang++ (scripts/setup.sh installs clang and libclang-rt-dev)" >&2
  exit 77
fi
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>"$probe/err"; then
  echo "fuzz: SKIPPED: clang++ cannot build a libFuzzer program here: $(head -n 1 "$probe/err")" >&2
  exit 77
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANI_FUZZ=ON \
  -DTOLVANI_GUI=OFF -DTOLVANI_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target vv_options_fuzz
found="$build/fuzz-corpus"
mkdir -p "$found"
cd "$build"
ASAN_OPTIONS="detect_leaks=1:halt_on_error=1" \
  LSAN_OPTIONS="suppressions=$OLDPWD/tests/sanitizers/leaks.supp:print_suppressions=0" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ./bin/vv_options_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 "fuzz-corpus" "$OLDPWD/tests/fuzz/corpus" 2>fuzz.log || {
  tail -n 40 fuzz.log >&2
  echo "fuzz: FAILED: see $build/fuzz.log and the crash-* input there" >&2
  exit 1
}
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' fuzz.log || true
echo "fuzz: no crash, leak, hang or sanitizer report in $seconds s"
