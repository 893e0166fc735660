#!/usr/bin/env bash
# Builds static zlib, libpng, libjpeg-turbo and libtiff for 64-bit Windows from Debian's source
# packages of the versions pinned below, into the prefix given as $1 (default build/mingw-deps),
# for the Windows build of the SDK to link into its DLL. A prefix already built for these
# versions is kept. Needs root the first time (it adds Debian's source lists to apt).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

# Package, version: Debian 12's own libraries (its main archive, whose versions stay put; the
# security archive replaces its versions).
sources=(
  "zlib 1:1.2.13.dfsg-1"
  "libpng1.6 1.6.39-2+deb12u5"
  "libjpeg-turbo 1:2.1.5-2"
  "tiff 4.5.0-6+deb12u4"
)
prefix=$(realpath -m "${1:-build/mingw-deps}")
stamp="$prefix/.built-$(printf '%s\n' "${sources[@]}" | md5sum | cut -c1-12)"
if [ -f "$stamp" ]; then
    exit 0
fi
host=x86_64-w64-mingw32
cc=$host-gcc-posix
jobs=$(nproc)

# apt-get source needs a source list; Debian's images ship only the binary ones. The main archive
# of the release the machine runs is enough for the pinned versions.
source_list=/etc/apt/sources.list.d/kelvra-deb-src.sources
if [ ! -f "$source_list" ]; then
    mirror=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources | head -n1)
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "${mirror:-http://deb.debian.org/debian}" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg >"$source_list"
    apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"

# fetch <package> <version>: unpacks the source package into $work/<package>. A pinned version the
# archive no longer carries (a newer security update replaced it) falls back to the current one.
fetch() {
    local dir
    (cd "$work" && { apt-get source -qq "$1=$2" >/dev/null 2>&1 ||
        { echo "build-mingw-image-libs: $1 $2 is gone from the archive; using the current version" >&2;
          apt-get source -qq "$1" >/dev/null; }; })
    dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$1*" | head -n1)
    mv "$dir" "$work/$1"
}

cmake_cross() {
    local source=$1 build=$2
    shift 2
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_SYSTEM_PROCESSOR=x86_64 -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER=$host-g++-posix -DCMAKE_RC_COMPILER=$host-windres \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
        -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
        -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
        -DCMAKE_POSITION_INDEPENDENT_CODE=ON -Wno-dev "$@" >"$build.log" 2>&1 &&
        cmake --build "$build" -j"$jobs" >>"$build.log" 2>&1 && cmake --install "$build" >>"$build.log" 2>&1 ||
        { cat "$build.log" >&2; echo "build-mingw-image-libs: building $source failed" >&2; exit 1; }
}

for entry in "${sources[@]}"; do
    read -r package version <<<"$entry"
    fetch "$package" "$version"
done

# zlib: its sources straight into a static library (Debian's source leaves out its Windows makefiles).
(
    cd "$work/zlib"
    for unit in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
        uncompr zutil; do
        "$cc" -O2 -c "$unit.c" -o "$unit.o"
    done
    $host-ar rcs "$prefix/lib/libz.a" ./*.o
)
cp "$work/zlib/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"

cmake_cross "$work/libpng1.6" "$work/build-png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF -DZLIB_ROOT="$prefix"
# Without nasm the SIMD code is left out; the encoder is still libjpeg-turbo's.
cmake_cross "$work/libjpeg-turbo" "$work/build-jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF
# libtiff with no codecs but the uncompressed strips the SDK writes.
cmake_cross "$work/tiff" "$work/build-tiff" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
    -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF -Dzlib=OFF -Dlibdeflate=OFF -Djpeg=OFF -Djpeg12=OFF -Djbig=OFF \
    -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dpixarlog=OFF -Dold-jpeg=OFF
# Only the static libraries: the find modules must not pick an import library of a DLL.
find "$prefix/lib" -name '*.dll.a' -delete
touch "$stamp"
