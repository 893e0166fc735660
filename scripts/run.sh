#!/usr/bin/env bash
# Sets up, builds (release) and runs the kelvra tool: it lists the cameras and describes the first.
# With no camera attached it uses a simulated 880HQLN and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
if [ -x build/release/tools/kelvra ]; then
  build/release/tools/kelvra list
  build/release/tools/kelvra info
else
  echo "KelvraSdk built: build/release/src/libKelvraSdk_880HQLN.so (the kelvra tool is not built yet)"
fi
