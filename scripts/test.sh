#!/usr/bin/env bash
# Sets up, builds (debug) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)"
ctest --preset debug -j"$(nproc)"
