#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up (packages, build), then starts the panel with the demo controller driving it,
# so the junction works at once. Close the window to stop both.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/setup.sh" bexen-semaphores bexen-ports
bin="$here/../build"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "bexen-semaphores needs a display: none is set (DISPLAY is empty); see README.md for running it under Xvfb" >&2
    exit 1
fi

"$bin/tools/ports/bexen-ports" demo &
demo=$!
stop_demo() {
    # Ctrl-C for the demo: it ends its phase through yellow and leaves every light red.
    kill -INT "$demo" 2>/dev/null || true
    wait "$demo" 2>/dev/null || true
}
trap stop_demo EXIT

"$bin/panel/bexen-semaphores"
