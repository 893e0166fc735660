#!/usr/bin/env bash
# Builds the Windows DLL (with its export check), the simulator and the tests for 64-bit Windows
# and runs the tests under Wine through CTest. Extra arguments go to ctest (e.g. -R pattern).
#
# Needs the mingw-w64 posix compilers, Debian's googletest sources and Wine (scripts/setup.sh
# installs them). The Wine prefix is the build's own, headless; the wine server started here is
# stopped again on the way out.
set -euo pipefail
# The prefix is made and used under one locale: Wine updates a prefix whenever the locale changes.
export LC_ALL=C
cd "$(dirname "$0")/.."

# A fresh CI machine may lack Wine and GoogleTest's sources: install them when we may.
missing=()
for p in googletest wine wine64; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" -eq 0 ]; then
    echo "test-windows: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null; }
fi
for tool in wine wineserver x86_64-w64-mingw32-g++-posix; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-windows: $tool is missing (bash scripts/setup.sh installs it)" >&2
        exit 1
    fi
done

# The DLL first, exactly as shipped: warning-free, exporting the public functions only. Its
# image libraries go into the prefix first, as they replace the whole prefix when rebuilt.
deps=$(realpath -m build/mingw-deps)
bash scripts/build-mingw-image-libs.sh "$deps"
bash scripts/build-mingw-gtest.sh "$deps"
bash scripts/check-windows-build.sh

export WINEPREFIX
WINEPREFIX=$(realpath -m build/wine-prefix)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# One server for every test program; without it each would start and stop its own. A server
# already running for this prefix is used and left running.
if wineserver -p 2>/dev/null; then
    trap 'wineserver -k 2>/dev/null || true' EXIT
fi
if [ ! -f "$WINEPREFIX/.kelvra-headless" ]; then
    # No display driver: the tests' windows and DCs live in memory, as on a server without a desktop.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    touch "$WINEPREFIX/.kelvra-headless"
fi
# The first program of a Wine session starts the system's own processes (services.exe, rpcss.exe,
# ...), which live on with the server and inherit that program's output: started by a test, they
# would keep its output open and CTest would wait for it until the time-out. Start them here.
wine cmd /c exit </dev/null >/dev/null 2>&1

# The tests' discovery runs the programs at build time, so the emulator must be set before.
cmake --preset mingw -DKELVRA_MINGW_DEPS="$deps" -DKELVRA_BUILD_TESTS=ON \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v wine)" >/dev/null
cmake --build --preset mingw -j"$(nproc)"
# Twice as many tests as cores: most wait on simulated cameras.
ctest --test-dir build/mingw -j"$(( $(nproc) * 2 ))" --output-on-failure --timeout 300 "$@"
