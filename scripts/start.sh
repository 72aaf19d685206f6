#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; else bash scripts/setup.sh || true; fi
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target quarn-render
exec build/release/src/app/render/quarn-render --out flame.bmp "$@"
