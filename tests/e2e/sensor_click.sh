#!/bin/bash
# SPDX-License-Identifier: MIT
# Runs bexen-semaphores under Xvfb with its own temporary directory, ticks sensor boxes with
# real xdotool clicks and finds the sensor byte in that directory's emu_port.dat.
# Exit 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool on this machine).
set -u

app=${1:?usage: sensor_click.sh PATH-TO-bexen-semaphores}
for tool in Xvfb xdotool od; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (Debian packages xvfb, xdotool), so the panel cannot be clicked"
        exit 77
    fi
done
if [ ! -x "$app" ]; then
    echo "FAIL: $app: not an executable"
    exit 1
fi

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# shellcheck source=../../scripts/xvfb.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"
start_xvfb "$work" 640x480x24 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

portfile="$work/emu_port.dat"
env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb TMPDIR="$work" XDG_RUNTIME_DIR="$work" \
    "$app" >"$work/app.log" 2>&1 &
app_pid=$!

# shellcheck source=../support/panel_clicks.sh
. "$(dirname "${BASH_SOURCE[0]}")/../support/panel_clicks.sh"
find_panel_window "$app_pid" "$work/app.log"

# The first ticks create the port file and write no sensor yet.
wait_for_byte 150 0 || fail "port 150 in $portfile never became 0 (saw '$(port_byte 150)')"

click() { # x y inside the client area
    xdotool mousemove --window "$window" "$1" "$2" click 1 || fail "xdotool could not click at $1,$2"
}

# Check1(0), light 1's sensor: 4200, 2040 twips, 9 by 13 pixels; click its middle.
click 284 142
wait_for_byte 150 1 || fail "after ticking light 1's sensor port 150 is '$(port_byte 150)', not 1"

# Check1(3), light 4's sensor: 3240, 3480 twips.
click 220 238
wait_for_byte 150 9 || fail "after ticking light 4's sensor port 150 is '$(port_byte 150)', not 9"

# Check2 is only the legend's sample: with it ticked, clearing light 1 must leave exactly
# light 4's bit.
click 20 350
click 284 142
wait_for_byte 150 8 || fail "with Check2 ticked and light 1 cleared port 150 is '$(port_byte 150)', not 8"

echo "PASS: sensor clicks reached port 150 of $portfile"
