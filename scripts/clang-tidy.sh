#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the sources under src/ that this branch changed since it
# left main, or over all of them where there is no main to compare with or nothing to compare
# (a clean clone, main itself). Headers are checked through the sources that include them.
# Needs the release build's compile database: run after scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
fi

base=$(git merge-base HEAD main 2>/dev/null || true)
if [ -n "$base" ] && [ "$base" != "$(git rev-parse HEAD)" ]; then
  changed=$(git diff --name-only --diff-filter=AMR "$base" -- 'src/*.cpp' 'src/*.h')
else
  changed=$(git ls-files 'src/*.cpp')
fi

# A changed header stands for the source of its own name.
files=()
for file in $changed; do
  case $file in
    *.h) [ -f "${file%.h}.cpp" ] && files+=("${file%.h}.cpp") ;;
    *) [ -f "$file" ] && files+=("$file") ;;
  esac
done
if [ ${#files[@]} -eq 0 ]; then
  echo "clang-tidy: no changed sources under src/"
  exit 0
fi

printf '%s\n' "${files[@]}" | sort -u |
  xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet
echo "clang-tidy: ${#files[@]} sources clean"
