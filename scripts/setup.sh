#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  libjpeg-dev libpng-dev zlib1g-dev libtiff-dev libzstd-dev libfreetype-dev
  nlohmann-json3-dev librandom123-dev libopenmpi-dev openmpi-bin
  python3-pil xvfb xauth fonts-dejavu-core fonts-dejavu-extra
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root (or with sudo) to install them." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
