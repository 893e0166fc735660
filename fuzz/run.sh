#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan, and runs each for a bounded time.
#   bash fuzz/run.sh [seconds per target, default 60]
# The targets compile only the parser sources they test, so no CMake configuration is needed. Inputs
# found along the way go to build/fuzz/corpus (not to the seed corpus in the repository); a crash
# leaves its input in build/fuzz and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is not installed; the fuzz targets are skipped"
  exit 0
fi
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Iinclude -Isrc/platform)

clang++ "${flags[@]}" fuzz/registry_text_fuzz.cpp src/platform/RegistryText.cpp src/platform/RegistryTree.cpp \
  -o "$out/registry_text_fuzz"
# The session's file readers include their headers as "session/X.h", as the library does.
clang++ "${flags[@]}" -Isrc fuzz/mask_file_fuzz.cpp src/session/MaskFile.cpp -o "$out/mask_file_fuzz"
clang++ "${flags[@]}" -Isrc fuzz/config_file_fuzz.cpp src/session/DefectList.cpp -o "$out/config_file_fuzz"

# The targets run side by side, each for the whole time; each one's output goes to its own log,
# printed when it ends.
targets=(registry_text mask_file config_file)
pids=()
for target in "${targets[@]}"; do
  mkdir -p "$out/corpus/$target"
  "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/$target-" "$out/corpus/$target" "fuzz/corpus/$target" >"$out/$target.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz: $target: $(grep -E '^Done [0-9]+ runs' "$out/$target.log" || tail -n 1 "$out/$target.log")"
  else
    echo "fuzz: $target FAILED:" >&2
    tail -n 60 "$out/$target.log" >&2
    failed=1
  fi
done
exit "$failed"
