#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows panel's idle cost under Wine and Xvfb, run by `scripts/bench.sh --windows`. Never
# part of the tests.
#
# bexen-semaphores.exe with port values that do not change runs beside bench_idle_window_win32.exe,
# a bare Win32 window of the same size and frame whose 100 ms timer makes the same eight port
# accesses through the same channel. As in the Linux idle bench, the two take turns of a second
# each, one running while the other is stopped, the order changing at every round, and each turn's
# CPU time is read from /proc/PID/task/*/schedstat of the program's own Wine process (a Windows
# program under Wine is one Linux process). Wine's server is shared by both and works for
# whichever runs (timers, messages, window updates go through it): its CPU time during a turn is
# counted to that turn's program and printed beside, not in, the goal's figure. Peak memory is
# each process's VmHWM, its resident peak with Wine's own libraries in it. Both programs run as
# stripped copies, as the zip and the MSI ship the panel: Wine reads every section of a program
# into memory when it loads it, its debug information too (2.8 MB of the RelWithDebInfo panel's).
# Ends with "GOAL idle CPU: <median of the rounds' ratios> (goal <= 1.10) met|missed" and
# "GOAL idle memory: <panel's peak over the bare window's> (goal <= 1.20) met|missed".
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir="$(cd "$here/.." && pwd)/build-windows"

# shellcheck source=wine.sh
. "$here/wine.sh"
build_windows bexen-semaphores bench_idle_window_win32
use_wine "$build_dir/wineprefix"
# shellcheck source=bench-turns.sh
. "$here/bench-turns.sh"
work=$(mktemp -d)
cleanup() {
    stop_all
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

# shellcheck source=xvfb.sh
. "$here/xvfb.sh"
start_xvfb "$work" || { echo "error: Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# Wine's background services start with the first program: here, before anything is measured.
wineboot </dev/null >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
# The server of this prefix: the one working in the directory named after the prefix's device
# and inode.
server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server=""
for p in $(pgrep -x wineserver64 || pgrep -x wineserver || true); do
    [[ $(readlink "/proc/$p/cwd" 2>/dev/null) == */"$server_dir" ]] && server=$p
done
[ -n "$server" ] || { echo "error: no Wine server found for $WINEPREFIX" >&2; exit 1; }

# Lights 1 to 4 red, green, red, green, and nothing else changing, in the file both programs
# find in the prefix's temporary directory (Wine takes it from the prefix, not the environment).
tempdir=$(wine_temp_dir)
mkdir -p "$tempdir"
portfile="$tempdir/emu_port.dat"
write_idle_port_file "$portfile"

strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build_dir/CMakeCache.txt")
"$strip" -o "$work/bexen-semaphores.exe" "$build_dir/panel/win32/bexen-semaphores.exe"
"$strip" -o "$work/bench_idle_window_win32.exe" "$build_dir/bench_idle_window_win32.exe"

wine "$work/bexen-semaphores.exe" >"$work/panel.log" 2>&1 &
panel=$!
pids+=("$panel")
wine "$work/bench_idle_window_win32.exe" >"$work/bare.log" 2>&1 &
bare=$!
pids+=("$bare")

echo "Idle cost under Wine: the panel and the bare window, ${rounds} turns of ${turn_seconds} s each"
# One line per round: the panel's and its server's nanoseconds, then the bare window's and its server's.
take_turns "$work/turns" "$server" "$panel" "$bare"
panel_peak=$(peak_kib "$panel")
bare_peak=$(peak_kib "$bare")
warn_if_lights_changed "$portfile"

panel_cpu=$(column_sum 1 "$work/turns")
panel_server=$(column_sum 2 "$work/turns")
bare_cpu=$(column_sum 3 "$work/turns")
bare_server=$(column_sum 4 "$work/turns")
echo "  panel CPU                      $(ms "$panel_cpu")   Wine server in its turns $(ms "$panel_server")"
echo "  bare window CPU                $(ms "$bare_cpu")   Wine server in its turns $(ms "$bare_server")"
idle_memory=$(ratio "$panel_peak" "$bare_peak")
echo "  peak working set: panel ${panel_peak} KiB, bare window ${bare_peak} KiB ($idle_memory)"
idle_cpu=$(awk '{ print $1 / $3 }' "$work/turns" | median)
with_server=$(awk '{ print ($1 + $2) / ($3 + $4) }' "$work/turns" | median)
echo "  panel against the bare window, median of the rounds: $idle_cpu (of the totals: $(ratio "$panel_cpu" "$bare_cpu"))"
echo "  the same with the Wine server's time in each turn, for information: $with_server"
echo
goal "idle CPU" "$idle_cpu" 1.10
goal "idle memory" "$idle_memory" 1.20
