#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan, and runs each for a bounded time.
#   bash fuzz/run.sh [seconds per target, default 60]
# The targets compile only the parser sources they test, so no CMake configuration is needed. Inputs
# found along the way go to build/fuzz/corpus (not to the seed corpus in the repository); a crash
# leaves its input in build/fuzz and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Iinclude -Isrc/platform)

clang++ "${flags[@]}" fuzz/registry_text_fuzz.cpp src/platform/RegistryText.cpp src/platform/RegistryTree.cpp \
  -o "$out/registry_text_fuzz"

mkdir -p "$out/corpus/registry_text"
"$out/registry_text_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/" "$out/corpus/registry_text" fuzz/corpus/registry_text
