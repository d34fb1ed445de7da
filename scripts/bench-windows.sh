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
# each process's VmHWM, its resident peak with Wine's own libraries in it.
# Ends with "GOAL idle CPU: <median of the rounds' ratios> (goal <= 1.10) met|missed".
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build_dir="$repo/build-windows"

# shellcheck source=packages.sh
. "$here/packages.sh"
ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 libz-mingw-w64-dev \
    xvfb xauth xdotool
"$here/setup.sh" bexen_render_boxes bexen_render_icon
# The cross build as scripts/test-windows.sh configures it.
cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEXEN_HOST_TOOLS_DIR="$repo/build" >/dev/null
cmake --build "$build_dir" --target bexen-semaphores bench_idle_window_win32

export WINEDEBUG=-all WINEPREFIX="$build_dir/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
work=$(mktemp -d)
xvfb_pid=""
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null && kill -CONT "$p" 2>/dev/null || true; done
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=xvfb.sh
. "$here/xvfb.sh"
start_xvfb "$work" || { echo "error: Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
mkdir -p "$WINEPREFIX"
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
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
tempdir=$(winepath -u "$temp" 2>/dev/null)
mkdir -p "$tempdir"
portfile="$tempdir/emu_port.dat"
head -c 64 /dev/zero >"$portfile"
printf '\001\004\001\004' | dd of="$portfile" bs=1 seek=60 conv=notrunc status=none

wine "$build_dir/panel/win32/bexen-semaphores.exe" >"$work/panel.log" 2>&1 &
panel=$!
pids+=("$panel")
wine "$build_dir/bench_idle_window_win32.exe" >"$work/bare.log" 2>&1 &
bare=$!
pids+=("$bare")

cpu_ns() {
    local sum=0 run _ f
    for f in /proc/"$1"/task/*/schedstat; do
        read -r run _ <"$f" 2>/dev/null || continue
        sum=$((sum + run))
    done
    echo "$sum"
}
peak_kib() { awk '/^VmHWM:/ { print $2 }' /proc/"$1"/status; }

rounds=60
turn_seconds=1
settle_seconds=0.2
# Process $1's CPU time over one turn of its own, and the server's meanwhile.
turn() {
    local start server_start
    kill -CONT "$1"
    sleep "$settle_seconds"
    start=$(cpu_ns "$1")
    server_start=$(cpu_ns "$server")
    sleep "$turn_seconds"
    echo "$(($(cpu_ns "$1") - start)) $(($(cpu_ns "$server") - server_start))"
    kill -STOP "$1"
}

sleep 5
order=("$panel" "$bare")
for p in "${order[@]}"; do
    kill -0 "$p" 2>/dev/null || { echo "error: process $p ended before the measurement" >&2; exit 1; }
done
echo "Idle cost under Wine: the panel and the bare window, ${rounds} turns of ${turn_seconds} s each"
kill -STOP "${order[@]}"
# One line per round: the panel's and its server's nanoseconds, then the bare window's and its server's.
: >"$work/turns"
for ((r = 0; r < rounds; r++)); do
    spent=()
    for ((k = 0; k < 2; k++)); do
        j=$(((k + r) % 2))
        spent[j]=$(turn "${order[j]}")
    done
    echo "${spent[*]}" >>"$work/turns"
done
kill -CONT "${order[@]}"
panel_peak=$(peak_kib "$panel")
bare_peak=$(peak_kib "$bare")
if ! cmp -s <(od -An -tu1 -j60 -N4 "$portfile") <(printf '%4s%4s%4s%4s\n' 1 4 1 4); then
    echo "warning: the light bytes changed during the idle run" >&2
fi

sum() { awk -v c="$1" '{ s += $c } END { printf "%.0f", s }' "$work/turns"; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.2f ms", ns / 1e6 }'; }
ratio() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%.3f", x / y }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
panel_cpu=$(sum 1)
panel_server=$(sum 2)
bare_cpu=$(sum 3)
bare_server=$(sum 4)
echo "  panel CPU                      $(ms "$panel_cpu")   Wine server in its turns $(ms "$panel_server")"
echo "  bare window CPU                $(ms "$bare_cpu")   Wine server in its turns $(ms "$bare_server")"
echo "  peak working set: panel ${panel_peak} KiB, bare window ${bare_peak} KiB ($(ratio "$panel_peak" "$bare_peak"))"
idle_cpu=$(awk '{ print $1 / $3 }' "$work/turns" | median)
with_server=$(awk '{ print ($1 + $2) / ($3 + $4) }' "$work/turns" | median)
echo "  panel against the bare window, median of the rounds: $idle_cpu (of the totals: $(ratio "$panel_cpu" "$bare_cpu"))"
echo "  the same with the Wine server's time in each turn, for information: $with_server"
echo
verdict=$(awk -v x="$idle_cpu" 'BEGIN { print (x <= 1.10) ? "met" : "missed" }')
echo "GOAL idle CPU: $idle_cpu (goal <= 1.10) $verdict"
