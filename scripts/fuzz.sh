#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time, starting from the
# checked-in corpus (fuzz/corpus/NAME). New inputs go to build/fuzz/corpus/NAME, so the checked-in
# corpus stays as it is. Skips, successfully, where clang or its fuzzer runtime is missing.
# FUZZ_SECONDS sets the time per target (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: skipped, clang++ is not installed"
  exit 0
fi
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer -o /dev/null - >/dev/null 2>&1; then
  echo "fuzz: skipped, clang++ has no libFuzzer runtime"
  exit 0
fi

dir=build/fuzz
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_BUILD_FUZZ=ON \
  -DQUARN_BUILD_GUI=OFF -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_BENCH=OFF >/dev/null
targets=(copy_fuzzer writer_fuzzer params_fuzzer options_fuzzer state_fuzzer)
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for name in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$name"
  echo "fuzz: $name for ${seconds}s"
  "$dir/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/$name-" "$dir/corpus/$name" "fuzz/corpus/$name" 2>"$dir/$name.log" ||
    { tail -n 60 "$dir/$name.log"; exit 1; }
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$dir/$name.log" || true
done
