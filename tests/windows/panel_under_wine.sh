#!/bin/bash
# SPDX-License-Identifier: MIT
# bexen-semaphores.exe as a Windows user gets it: the program file carries its icon and manifest
# and needs no DLL beyond Windows' own; started with Wine, real xdotool clicks on its sensor
# boxes reach port 150 of emu_port.dat in the prefix's own temporary directory.
#   panel_under_wine.sh PANEL.exe OBJDUMP
# Exit 0 passed, 1 failed, 77 skipped (no display or no Wine prefix to run it in).
set -u

exe=${1:?usage: panel_under_wine.sh PANEL.exe OBJDUMP}
objdump=${2:?usage: panel_under_wine.sh PANEL.exe OBJDUMP}
fail() {
    echo "FAIL: $*"
    exit 1
}
[ -f "$exe" ] || fail "$exe: no such program"

work=$(mktemp -d)
panel_pid=""
cleanup() {
    [ -n "$panel_pid" ] && kill "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The program file: the icon group with its four images, the 32-pixel one in 256 colours.
wrestool -x -t14 "$exe" -o "$work/group.ico" 2>"$work/wrestool.log" ||
    fail "no icon group in $exe: $(cat "$work/wrestool.log")"
icons=$(icotool -l "$work/group.ico" | sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2@\3/' | sort -n | tr '\n' ' ')
[ "$icons" = "16x16@32 32x32@8 48x48@32 256x256@32 " ] ||
    fail "the icon's images are '$icons', not 16x16@32 32x32@8 48x48@32 256x256@32"
wrestool -x --raw --type=24 "$exe" 2>/dev/null | grep -q 'PerMonitorV2' ||
    fail "the manifest in $exe does not declare per-monitor DPI awareness"
# Windows 7, 8, 8.1 and 10/11, each by its supportedOS id, or that system treats the panel as older.
for os in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
    1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    wrestool -x --raw --type=24 "$exe" 2>/dev/null | grep -q "{$os}" ||
        fail "the manifest in $exe does not name the supported system {$os}"
done
dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dll in $dlls; do
    case $dll in
    # The tooltips' and the screen readers' DLLs are loaded when first needed, not imported.
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll) ;;
    *) fail "$exe needs $dll, which Windows does not have (it needs: $dlls)" ;;
    esac
done

if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
    echo "SKIP: no DISPLAY or WINEPREFIX (scripts/test-windows.sh sets both)"
    exit 77
fi

# The prefix's temporary directory, where a Windows emulator in the same prefix keeps its file.
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
tempdir=$(winepath -u "$temp" 2>/dev/null)
[ -d "$tempdir" ] || fail "the prefix's temporary directory '$temp' ($tempdir) does not exist"
portfile="$tempdir/emu_port.dat"
rm -f "$portfile"

wine "$exe" >"$work/panel.log" 2>&1 &
panel_pid=$!

# shellcheck source=../support/panel_clicks.sh
. "$(dirname "${BASH_SOURCE[0]}")/../support/panel_clicks.sh"
find_panel_window "$panel_pid" "$work/panel.log"
# The window shows the program's icon: Wine hands the window's icons to X.
shown=$(xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | sort | tr '\n' ' ')
[ "$shown" = "Icon (16 x 16) Icon (32 x 32) " ] || fail "the window's icons are '$shown', not 16 and 32 pixels"
wait_for_byte 150 0 || fail "port 150 in $portfile never became 0 (saw '$(port_byte 150)')"

click() { # x y in the client area; slow enough apart that no two make a double click
    xdotool mousemove --window "$window" "$1" "$2" click 1 || fail "xdotool could not click at $1,$2"
    sleep 0.6
}

# Each Check1(k), at its twips / 15 plus half its 9 by 13 pixels: bit k of port 150, in turn.
expected=0
k=0
for at in "4200 2040" "2760 1080" "1800 2520" "3240 3480"; do
    read -r x y <<<"$at"
    click $((x / 15 + 4)) $((y / 15 + 6))
    expected=$((expected | (1 << k)))
    wait_for_byte 150 "$expected" ||
        fail "after ticking Check1($k) port 150 is '$(port_byte 150)', not $expected"
    k=$((k + 1))
done
# Check2, the legend's sample, is never read; clearing Check1(0) clears bit 0 alone.
click $((240 / 15 + 4)) $((5160 / 15 + 6))
click $((4200 / 15 + 4)) $((2040 / 15 + 6))
wait_for_byte 150 14 || fail "with Check2 ticked and Check1(0) cleared port 150 is '$(port_byte 150)', not 14"

echo "PASS: the program's icon and manifest, and clicks on the sensors reaching $portfile"
