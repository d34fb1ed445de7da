#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The panel (bexen-semaphores.exe), bexen-ports and their libraries cross-built for 64-bit
# Windows with mingw-w64 into build-windows/, the zip and the MSI of both programs made, and the Windows tests
# run under Wine, in a prefix of their own there, on a private Xvfb. The build-time painters need
# Qt, which the cross build lacks: they are built for this machine in build/ first and the cross
# build runs them. Installs what is missing; needs no display of the user's.
#   scripts/test-windows.sh [ctest options]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir="$(cd "$here/.." && pwd)/build-windows"

# shellcheck source=wine.sh
. "$here/wine.sh"
build_windows
(cd "$build_dir" && cpack -G ZIP >/dev/null)

use_wine "$build_dir/wineprefix"

# The panel's windows go to an X server of the run's own, never to the user's display; it is
# large enough for the whole window at 192 dots per inch.
# shellcheck source=xvfb.sh
. "$here/xvfb.sh"
xvfb_dir=$(mktemp -d)
if ! start_xvfb "$xvfb_dir" 1600x1200x24; then
    cat "$xvfb_dir/xvfb.log" >&2
    exit 1
fi

# One server for the whole run, started here so that it holds none of ctest's output pipes (ctest
# would wait for it at every test); it ends with the run, or by itself when left idle.
wineserver -p30 </dev/null >/dev/null 2>&1 || true # one may still be up from a run cut short
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$xvfb_dir"' EXIT
# The first program of a session starts Wine's background services, which keep its output open
# for as long as the server runs: wineboot starts them here, with ctest's pipes out of reach
# (and makes the prefix the first time).
[ -f "$WINEPREFIX/system.reg" ] || echo "Making the Wine prefix $WINEPREFIX"
if ! wineboot </dev/null >"$build_dir/wineboot.log" 2>&1; then
    cat "$build_dir/wineboot.log" >&2
    exit 1
fi

ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "$@"
