#!/usr/bin/env bash
# Fails when a C or C++ source is not in the house style of .clang-format (clang-format 14, as
# Debian 12 ships it). To fix: clang-format -i <files>.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
clang-format --dry-run -Werror "${sources[@]}"
echo "check-format: ${#sources[@]} sources in the house style"
