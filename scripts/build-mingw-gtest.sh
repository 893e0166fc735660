#!/usr/bin/env bash
# Builds static GoogleTest and GoogleMock for 64-bit Windows from the sources of Debian's googletest
# package (/usr/src/googletest) into the prefix given as $1 (default build/mingw-deps), for the
# Windows build of the tests. A prefix already built from the installed version is kept.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

source=/usr/src/googletest
if [ ! -f "$source/CMakeLists.txt" ]; then
    echo "build-mingw-gtest: $source is missing (apt-get install googletest)" >&2
    exit 1
fi
prefix=$(realpath -m "${1:-build/mingw-deps}")
version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)
stamp="$prefix/.gtest-$(printf '%s' "$version" | md5sum | cut -c1-12)"
if [ -f "$stamp" ]; then
    exit 0
fi
host=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$source" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_SYSTEM_PROCESSOR=x86_64 -DCMAKE_C_COMPILER=$host-gcc-posix -DCMAKE_CXX_COMPILER=$host-g++-posix \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build "$work" -j"$(nproc)" >/dev/null
cmake --install "$work" >/dev/null
touch "$stamp"
