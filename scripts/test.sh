#!/usr/bin/env bash
# Sets up, builds (release, the same build the main job uses) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
# Most tests wait on simulated cameras rather than compute: twice as many as cores run at once.
ctest --preset release -j"$(( $(nproc) * 2 ))"
