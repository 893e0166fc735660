#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds and runs a consumer twice: once through
# the CMake package (Kelvra::KelvraSdk_880HQLN) and once with pkg-config's flags.
set -euo pipefail
build_dir=$1
consumer=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
expected=33752352

cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
got=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer")
[ "$got" = "$expected" ] || { echo "CMake package consumer printed '$got', expected $expected"; exit 1; }

flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs kelvra)
# shellcheck disable=SC2086
c++ -std=c++20 "$consumer/main.cpp" $flags -o "$work/pkgconfig-consumer"
got=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/pkgconfig-consumer")
[ "$got" = "$expected" ] || { echo "pkg-config consumer printed '$got', expected $expected"; exit 1; }
echo "installed package: CMake and pkg-config consumers build and run"
