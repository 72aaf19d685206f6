#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: an optimised build
# and an AddressSanitizer + UndefinedBehaviorSanitizer build. The tests with a second thread,
# the image view's and the renderer's orbits, run a third time in a ThreadSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; else bash scripts/setup.sh || true; fi

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DQUARN_BUILD_BENCH=OFF "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

# The release build also shares renders among the processes of mpirun, tested with real mpirun.
run build/release -DCMAKE_BUILD_TYPE=Release -DQUARN_MPI=ON
run build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON

# Qt itself is not built for the thread checker; its own hand-overs between threads would look
# unordered, so only accesses made by our code are checked.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1}
view_tests=(PGImageTest ViewMouseTest PaintCopyTest)
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_TSAN=ON -DQUARN_BUILD_BENCH=OFF \
  >/dev/null
cmake --build build/tsan -j"$jobs" --target "${view_tests[@]}" engine_tests export_tests
# The renderer's orbits run on threads of their own, saves may run beside each other, and
# an animation renders several frames at once.
ctest --test-dir build/tsan --output-on-failure -j"$jobs" \
  -R "^($(IFS='|'; echo "${view_tests[*]}")|LargeRenderTest\..*|ResumableRenderTest\..*|SaveSettings\..*|RenderQueue\..*|CandidateScreen\..*|AnimationRender\..*)\$"
