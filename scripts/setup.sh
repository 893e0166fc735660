#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need (run as root on Debian 12).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  python3 binutils
  clang clang-format
  libx11-dev libxext-dev xvfb xauth
)
# The image and movie writers add libjpeg/libpng/libtiff and the file checkers (ffprobe, Pillow,
# pngcheck, tiffinfo) here when they arrive.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
