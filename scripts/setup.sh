#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need (run as root on Debian 12).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 dpkg-dev
  # The Windows tests: GoogleTest's sources to build for Windows, and Wine (64-bit only) to run them.
  googletest wine wine64
  python3 binutils
  clang clang-format
  libx11-dev libxext-dev xvfb xauth
  # The still image writers' libraries, and the readers their tests open the files with.
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev
  ffmpeg python3-pil pngcheck libtiff-tools
)
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
