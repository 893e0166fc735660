#!/usr/bin/env bash
# Cross-builds KelvraSdk_880HQLN.dll for 64-bit Windows and checks it:
#  - the build prints no warning;
#  - the DLL exports exactly the Kelvra_* functions that the SDK's objects define, each declared
#    in the public header, and nothing else;
#  - every declared function is exported unless tests/public_api/not_yet_exported.txt lists it,
#    and no listed function is exported (the list only shrinks);
#  - it imports only DLLs that every Windows system has (the GCC runtime and the image libraries,
#    built from Debian's source packages by build-mingw-image-libs.sh, are linked in).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

prefix=x86_64-w64-mingw32
build=build/mingw
header=include/kelvra/KelvraSdk.h
dll=$build/bin/KelvraSdk_880HQLN.dll
layers=$build/src/libkelvra_*.a
not_yet_exported=tests/public_api/not_yet_exported.txt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "check-windows-build: $*" >&2; failed=1; }

# The image libraries are linked into the DLL statically, built from Debian's sources once.
deps=$(realpath -m build/mingw-deps)
bash scripts/build-mingw-image-libs.sh "$deps"
cmake --preset mingw -DKELVRA_MINGW_DEPS="$deps" >/dev/null
# A target that is already up to date prints nothing: its warnings were errors when it was built.
if ! cmake --build --preset mingw -j"$(nproc)" --target KelvraSdk_880HQLN 2>&1 | tee "$work/build.log"; then
    echo "check-windows-build: the Windows build failed" >&2
    exit 1
fi
if grep -qi 'warning:' "$work/build.log"; then
    fail "the Windows build is not warning-free"
fi

# The public header against the system's own <windows.h>, as C99, C11 and C++ applications
# compile it; its static assertions check the record layouts on Win64.
probe=tests/public_api/sdk_header_probe
for compile in "$prefix-gcc-posix -std=c99 $probe.c" "$prefix-gcc-posix -std=c11 -pedantic-errors $probe.c" \
               "$prefix-g++-posix -std=c++20 -pedantic-errors $probe.cpp"; do
    # shellcheck disable=SC2086
    if ! $compile -fsyntax-only -Wall -Wextra -Werror -DPROBE_VARIANT=win -Iinclude -Itests; then
        fail "the public header does not compile for Windows: $compile"
    fi
done

# The names of the export table follow the "[Ordinal/Name Pointer] Table" line of objdump -p.
"$prefix-objdump" -p "$dll" >"$work/objdump.txt"
sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/objdump.txt" |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort >"$work/exported"

# What the SDK's layers define, whatever macros their sources use to do so.
# shellcheck disable=SC2086
"$prefix-nm" -g --defined-only $layers | awk '$2 == "T" && $3 ~ /^Kelvra_/ { print $3 }' |
    sort -u >"$work/defined"

grep -oE 'KELVRA_API[^(]*[^A-Za-z0-9_]Kelvra_[A-Za-z0-9_]+[[:space:]]*\(' "$header" |
    grep -oE 'Kelvra_[A-Za-z0-9_]+' | sort -u >"$work/declared"
sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$not_yet_exported" | sort -u >"$work/pending"
comm -23 "$work/declared" "$work/pending" >"$work/required"

# fail_each <message> <comm option> <sorted list> <sorted list>: one failure per name comm selects.
fail_each() {
    local name
    while read -r name; do fail "$1: $name"; done < <(comm "$2" "$3" "$4")
}
fail_each "exported but not defined as an SDK function" -23 "$work/exported" "$work/defined"
fail_each "defined but not exported" -13 "$work/exported" "$work/defined"
fail_each "exported but not declared in $header" -23 "$work/exported" "$work/declared"
fail_each "declared in $header but not exported" -13 "$work/exported" "$work/required"
fail_each "exported, so take it off $not_yet_exported" -12 "$work/exported" "$work/pending"
fail_each "listed in $not_yet_exported but not declared in $header" -23 "$work/pending" "$work/declared"
if [ ! -s "$work/exported" ]; then
    fail "the DLL exports nothing"
fi

# Every DLL named here ships with Windows; anything else (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll, ...) would have to be shipped beside the SDK.
system_dlls='^(kernel32|user32|gdi32|advapi32|setupapi|winmm|msvfw32|msvcrt|ucrtbase|ole32|shell32|comctl32|comdlg32|api-ms-win-[a-z0-9-]+)\.dll$'
sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' "$work/objdump.txt" | sort -u >"$work/imported"
while read -r name; do
    if ! printf '%s\n' "$name" | tr '[:upper:]' '[:lower:]' | grep -qE "$system_dlls"; then
        fail "imports a DLL that is not part of Windows: $name"
    fi
done <"$work/imported"

echo "KelvraSdk_880HQLN.dll exports $(wc -l <"$work/exported") of the $(wc -l <"$work/declared") functions" \
    "declared in $header; imports: $(paste -sd ' ' "$work/imported")"
if [ "$failed" -ne 0 ]; then
    exit 1
fi
echo "check-windows-build: OK"
