#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The port channel, the poll tick and bexen-ports cross-built for 64-bit Windows with mingw-w64
# into build-windows/, and their tests run under Wine in a prefix of their own there. Installs
# what is missing; needs no display.
#   scripts/test-windows.sh [ctest options]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build_dir="$repo/build-windows"

# wine gives the launchers (wine, wineboot, wineserver), wine64 the 64-bit loader they start.
# shellcheck source=packages.sh
. "$here/packages.sh"
ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev wine wine64

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build_dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)"

export WINEDEBUG=-all
export WINEPREFIX="$build_dir/wineprefix"
# No Mono or Gecko to offer to install, and no window: the tests are console programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# One server for the whole run, started here so that it holds none of ctest's output pipes (ctest
# would wait for it at every test); it ends with the run, or by itself when left idle.
mkdir -p "$WINEPREFIX"
wineserver -p30 </dev/null >/dev/null 2>&1 || true # one may still be up from a run cut short
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# The first program of a session starts Wine's background services, which keep its output open
# for as long as the server runs: wineboot starts them here, with ctest's pipes out of reach
# (and makes the prefix the first time).
[ -f "$WINEPREFIX/system.reg" ] || echo "Making the Wine prefix $WINEPREFIX"
if ! wineboot </dev/null >"$build_dir/wineboot.log" 2>&1; then
    cat "$build_dir/wineboot.log" >&2
    exit 1
fi

ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "$@"
