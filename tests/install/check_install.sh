#!/usr/bin/env bash
# Installs the build tree component by component into scratch prefixes:
#  - each component installs exactly its own public headers;
#  - an application built against the sdk and platform components alone, once through the CMake
#    package (Kelvra::KelvraSdk_880HQLN) and once with pkg-config's flags, builds and runs.
set -euo pipefail
build_dir=$1
consumer=$2
source_include=$(cd "$consumer/../../../include" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

install_component() { # <component> <prefix>
    cmake --install "$build_dir" --prefix "$2" --component "$1" >/dev/null
}
installed_headers() { # <prefix>: the headers below include/, one relative path a line
    (cd "$1/include" && find . -type f | sed 's|^\./||' | sort)
}
expect_headers() { # <component> <expected header>...
    local prefix="$work/only-$1" component=$1
    shift
    install_component "$component" "$prefix"
    local got expected
    got=$(installed_headers "$prefix")
    expected=$(printf '%s\n' "$@" | sort)
    if [ "$got" != "$expected" ]; then
        echo "component $component installed the headers"
        echo "$got"
        echo "expected"
        echo "$expected"
        exit 1
    fi
}

expect_headers sdk kelvra/KelvraSdk.h
# shellcheck disable=SC2046
expect_headers platform kelvra/win32.h kelvra/DeviceProvider.h \
    $(cd "$source_include" && find kelvra/win32 -type f -name '*.h')
expect_headers simulator kelvra/KelvraSim.h kelvra/KelvraSimModel.h

prefix=$work/prefix
install_component sdk "$prefix"
install_component platform "$prefix"
expected=33752352

cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
got=$(LD_LIBRARY_PATH="$prefix/lib" "$work/cmake-build/consumer")
[ "$got" = "$expected" ] || { echo "CMake package consumer printed '$got', expected $expected"; exit 1; }

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs kelvra)
# shellcheck disable=SC2086
c++ -std=c++20 "$consumer/main.cpp" $flags -o "$work/pkgconfig-consumer"
got=$(LD_LIBRARY_PATH="$prefix/lib" "$work/pkgconfig-consumer")
[ "$got" = "$expected" ] || { echo "pkg-config consumer printed '$got', expected $expected"; exit 1; }
echo "installed package: each component holds its own headers; CMake and pkg-config consumers build and run"

# The example application of the README, built against the installed package, snaps a picture
# from a simulated camera plugged in before it starts (a preloaded shim stands in for the cable).
examples=$(cd "$consumer/../../../examples" && pwd)
install_component simulator "$prefix"
cmake -S "$examples" -B "$work/examples-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/examples-build" >/dev/null
printf '#include <kelvra/KelvraSim.h>\n__attribute__((constructor)) static void Plug(void) { KelvraSim_Attach(0x3180); }\n' \
    >"$work/plug.c"
cc -shared -fPIC "$work/plug.c" -I"$prefix/include" -L"$prefix/lib" -lKelvraSim -o "$work/plug.so"
(cd "$work" && LD_LIBRARY_PATH="$prefix/lib" LD_PRELOAD="$work/plug.so" XDG_CONFIG_HOME="$work/config" \
    "$work/examples-build/snap" "$work/snap.png" >"$work/snap.out") || { cat "$work/snap.out"; echo "the example failed"; exit 1; }
grep -q "saved $work/snap.png" "$work/snap.out" || { cat "$work/snap.out"; echo "the example saved nothing"; exit 1; }
size=$(/usr/bin/python3 -c "from PIL import Image; im = Image.open('$work/snap.png'); print(im.size[0], im.size[1])")
[ "$size" = "1280 1024" ] || { echo "the example's picture is $size, not 1280 1024"; exit 1; }
echo "the example application builds against the installed package and saves a 1280 x 1024 picture"
