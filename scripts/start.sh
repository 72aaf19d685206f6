#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; else bash scripts/setup.sh || true; fi
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target quarn-ifs quarn-render
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'EOF'
Quarn IFS is a desktop program, and this shell has no display ($DISPLAY and $WAYLAND_DISPLAY
are empty). Either start it inside a virtual X server (apt-get install xvfb):
    xvfb-run -a build/release/src/app/quarn-ifs
or render a picture without any window:
    build/release/src/app/render/quarn-render --out flame.bmp
EOF
  exit 1
fi
exec build/release/src/app/quarn-ifs
