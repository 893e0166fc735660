#!/usr/bin/env bash
# Sets up, builds (release) and runs the kelvra tool as a new user would: it lists the cameras,
# describes the first, takes a picture and records a two-second movie into ./kelvra-output/.
# With no camera attached it uses a simulated 880HQLN and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
kelvra=build/release/tools/kelvra
output=kelvra-output
mkdir -p "$output"
"$kelvra" list
"$kelvra" info
"$kelvra" snap --sim-scene pattern -o "$output/snap.png"
"$kelvra" record --sim-scene pattern -o "$output/movie.avi" --seconds 2
echo
echo "The picture and the movie are in $(cd "$output" && pwd):"
ls -l "$output"
