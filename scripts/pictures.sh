#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the pictures the README shows, from the real programs, into docs/:
#   panel-linux.png    the Qt panel under Xvfb, the lights set by bexen-ports
#   panel-windows.png  bexen-semaphores.exe under Wine on the same kind of X server, same lights
#   graded-run.png     the chart of a graded run in which one scenario failed
# Builds what is missing first (build/, and build-windows/ through scripts/test.sh --windows when
# it has no panel yet). Needs no display of the user's. Takes about a minute, most of it the
# graded run, which plays its scenario in real time.
# Plain `set -u`: the click helpers it shares with the tests poll with commands that fail until
# the window is there.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
docs="$repo/docs"
ports="$repo/build/tools/ports/bexen-ports"
win_build="$repo/build-windows"
win_panel="$win_build/panel/win32/bexen-semaphores.exe"

"$here/setup.sh" bexen-semaphores bexen-ports || exit 1
# shellcheck source=packages.sh
. "$here/packages.sh"
ensure_packages librsvg2-bin optipng || exit 1
[ -f "$win_panel" ] || "$here/test.sh" --windows || exit 1
mkdir -p "$docs" || exit 1

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true
    [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "pictures.sh: $*" >&2
    exit 1
}

# shellcheck source=xvfb.sh
. "$here/xvfb.sh"
start_xvfb "$work" 1024x768x24 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
# shellcheck source=../tests/support/panel_clicks.sh
. "$repo/tests/support/panel_clicks.sh"

# The junction as a user sees it in the middle of a cycle: the east-west road green, the
# north-south road red, and a car waiting at light 2.
set_junction() { # FILE
    "$ports" --file "$1" set 160 4 && "$ports" --file "$1" set 161 1 &&
        "$ports" --file "$1" set 162 4 && "$ports" --file "$1" set 163 1 ||
        fail "could not set the lights in $1"
}

# `shoot PID LOG OUT`: waits for the panel's window and two ticks, then grabs it.
shoot() {
    find_panel_window "$1" "$2"
    sleep 1.5
    import -window "$window" "$3" && optipng -quiet -o2 "$3" || fail "could not grab $3"
}

# The Linux panel, with a private temporary directory of its own.
mkdir -p "$work/tmp"
set_junction "$work/tmp/emu_port.dat"
TMPDIR="$work/tmp" "$repo/build/panel/bexen-semaphores" >"$work/qt.log" 2>&1 &
pids+=($!)
# A car at light 2: the panel writes port 150 from its boxes, so it is ticked by a click.
find_panel_window "${pids[-1]}" "$work/qt.log"
portfile="$work/tmp/emu_port.dat"
wait_for_byte 150 0 || fail "the Linux panel never wrote port 150"
# Check1(1), light 2's sensor, at 2760, 1080 twips: a click in its middle.
tick_light2() {
    xdotool mousemove --window "$window" $((2760 / 15 + 4)) $((1080 / 15 + 6)) click 1 ||
        fail "xdotool could not click"
    wait_for_byte 150 2 || fail "the click on light 2's sensor did not reach port 150"
}
tick_light2
shoot "${pids[-1]}" "$work/qt.log" "$docs/panel-linux.png"
kill "${pids[-1]}"

# The Windows panel in a prefix of the pictures' own, its port file in the prefix's %TEMP%.
# shellcheck source=wine.sh
. "$here/wine.sh"
use_wine "$work/wineprefix"
wineboot </dev/null >"$work/wineboot.log" 2>&1 || fail "wineboot failed: $(cat "$work/wineboot.log")"
tempdir=$(wine_temp_dir)
portfile="$tempdir/emu_port.dat"
set_junction "$portfile"
wine "$win_panel" >"$work/win.log" 2>&1 &
pids+=($!)
find_panel_window "${pids[-1]}" "$work/win.log"
wait_for_byte 150 0 || fail "the Windows panel never wrote port 150"
tick_light2
shoot "${pids[-1]}" "$work/win.log" "$docs/panel-windows.png"
kill "${pids[-1]}"

# A graded run in which one scenario fails: the demo held at green for 50 s at least is too slow
# for the car that comes to light 2 while light 1's road has just turned green. About 50 s.
mkdir -p "$work/graded"
TMPDIR="$work/graded" "$ports" test --charts "$work/graded/charts" car-at-1 car-at-2 \
    -- "$ports" demo --min-green 50 >"$work/graded/verdicts.txt" 2>&1
status=$?
[ "$status" = 3 ] || fail "the graded run ended with status $status, not 3: $(cat "$work/graded/verdicts.txt")"
rsvg-convert -w 900 "$work/graded/charts/car-at-2.svg" -o "$docs/graded-run.png" &&
    optipng -quiet -o2 "$docs/graded-run.png" || fail "could not draw the graded run's chart"
grep -E '^(PASS|FAIL|[0-9]+ of)' "$work/graded/verdicts.txt"
echo "pictures.sh: docs/panel-linux.png, docs/panel-windows.png and docs/graded-run.png made"
