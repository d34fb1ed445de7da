#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures what the panel costs and checks it against its goals. Never part of the tests.
#
#   a  the floor: eight bare open, fstat, one-byte pread or pwrite, close on a 51-byte file
#   b  the channel: seven READ_IO_BYTE and one WRITE_IO_BYTE
#   c  one whole tick of the real window (offscreen)
#   d  the same tick with a 1 GiB sparse port file
#
# Then the panel runs under Xvfb with port values that do not change, beside a bare Qt window
# with the same 100 ms timer and beside that window making the floor's eight accesses at every
# tick. The three take 60 turns of a second each, one running while the others are stopped, and
# the CPU time of each turn (from /proc/PID/task/*/schedstat, in nanoseconds) and their peak
# memory (VmHWM) are compared. The idle CPU goal holds the panel against the window making the
# floor's accesses, the median of the 60 rounds' ratios: that is the least a panel doing its
# eight accesses every 100 ms can cost. The bare window plus its ticks' worth of a, measured
# back to back where the kernel's caches stay warm, is printed for information.
# Ends with one line per goal: "GOAL <name>: <measured> (goal <= <limit>) met|missed".
#
#   scripts/bench.sh --windows   the Windows panel's idle cost under Wine instead (bench-windows.sh)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${1:-}" = --windows ]; then
    exec "$here/bench-windows.sh"
fi
"$here/setup.sh" bench_tick bench_form1 bench_idle_window bexen-semaphores
build="$here/../build"

if [ ! -x "$build/bench/bench_tick" ]; then
    echo "error: the benchmarks were not built (is Google Benchmark, libbenchmark-dev, installed?)" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb_pid=""
pids=()
cleanup() {
    # A stopped window would hold the signal until continued.
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null && kill -CONT "$p" 2>/dev/null || true; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The median CPU time in microseconds of benchmark $2 in the CSV output $1.
median_us() {
    awk -F, -v name="\"$2_median\"" '
        $1 == name {
            t = $4; unit = $5
            if (unit == "ns") t /= 1000; else if (unit == "ms") t *= 1000; else if (unit == "s") t *= 1000000
            printf "%.3f", t; found = 1
        }
        END { if (!found) exit 1 }' "$1"
}

# Benchmarks print CSV on stdout; the tables for people go to the terminal through stderr.
repetitions=(--benchmark_repetitions=7 --benchmark_report_aggregates_only=true --benchmark_format=csv)
echo "Benchmarks (median of 7 runs each; CPU time)"
"$build/bench/bench_tick" --benchmark_filter='^BM_(Floor|Channel)$' "${repetitions[@]}" \
    >"$work/tick.csv" 2>"$work/tick.err"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_form1" --benchmark_filter='^BM_Form1Tick(Steady|Sparse)$' \
    "${repetitions[@]}" >"$work/form1.csv" 2>"$work/form1.err"

a=$(median_us "$work/tick.csv" BM_Floor)
b=$(median_us "$work/tick.csv" BM_Channel)
c=$(median_us "$work/form1.csv" BM_Form1TickSteady)
d=$(median_us "$work/form1.csv" BM_Form1TickSparse)
printf '  a  floor, eight bare accesses       %8.2f us\n' "$a"
printf '  b  channel, 7 reads and 1 write     %8.2f us\n' "$b"
printf '  c  window tick                      %8.2f us\n' "$c"
printf '  d  window tick, 1 GiB sparse file   %8.2f us\n' "$d"
ratio() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%.3f", x / y }'; }
ba=$(ratio "$b" "$a")
ca=$(ratio "$c" "$a")
dc=$(ratio "$d" "$c")
echo "  b/a $ba   c/a $ca   d/c $dc"

# Idle cost. The three windows take turns: each runs alone for a second while the other two are
# stopped, and the order moves on by one at every round. Side by side, their 100 ms timers fire
# at the same instants (Qt aligns coarse timers), and whichever runs second finds the shared
# libraries' code already brought in by the first: two copies of the same window measured so
# differ by 4 to 15 per cent. In turns each pays for its own wake-ups, under the same machine
# within seconds of the others.
rounds=60
turn_seconds=1
settle_seconds=0.2
echo
echo "Idle cost: the panel and two bare windows under Xvfb, ${rounds} turns of ${turn_seconds} s each"
mkdir "$work/tmp"
# Lights 1 to 4 red, green, red, green, and nothing else changing.
head -c 64 /dev/zero >"$work/tmp/emu_port.dat"
printf '\001\004\001\004' | dd of="$work/tmp/emu_port.dat" bs=1 seek=60 conv=notrunc status=none

# shellcheck source=xvfb.sh
. "$here/xvfb.sh"
start_xvfb "$work" || { echo "error: Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"

TMPDIR="$work/tmp" "$build/panel/bexen-semaphores" >"$work/panel.log" 2>&1 &
panel=$!
pids+=("$panel")
"$build/bench/bench_idle_window" >"$work/bare.log" 2>&1 &
bare=$!
pids+=("$bare")
# The idle floor: the floor's accesses made at the tick's pace, each after 100 ms asleep, on a
# copy of the port file. They cost more than the benchmark's back-to-back loop.
mkdir "$work/floor"
cp "$work/tmp/emu_port.dat" "$work/floor/"
TMPDIR="$work/floor" "$build/bench/bench_idle_window" --floor >"$work/floor.log" 2>&1 &
paced=$!
pids+=("$paced")

# Nanoseconds on the CPU, summed over every thread of process $1.
cpu_ns() {
    local sum=0 run _ f
    for f in /proc/"$1"/task/*/schedstat; do
        read -r run _ <"$f" 2>/dev/null || continue
        sum=$((sum + run))
    done
    echo "$sum"
}
peak_kib() { awk '/^VmHWM:/ { print $2 }' /proc/"$1"/status; }

# Process $1's CPU time over one turn of its own; the skipped first moments hold the tick it
# missed while stopped.
turn() {
    local start
    kill -CONT "$1"
    sleep "$settle_seconds"
    start=$(cpu_ns "$1")
    sleep "$turn_seconds"
    echo $(($(cpu_ns "$1") - start))
    kill -STOP "$1"
}

sleep 5
order=("$panel" "$bare" "$paced")
for p in "${order[@]}"; do
    kill -0 "$p" 2>/dev/null || { echo "error: process $p ended before the measurement" >&2; exit 1; }
done
kill -STOP "${order[@]}"
# One line per round: the panel's, the bare window's and the floor's nanoseconds.
: >"$work/turns"
for ((r = 0; r < rounds; r++)); do
    spent=()
    for ((k = 0; k < 3; k++)); do
        j=$(((k + r) % 3))
        spent[j]=$(turn "${order[j]}")
    done
    echo "${spent[*]}" >>"$work/turns"
done
kill -CONT "${order[@]}"
panel_cpu=$(awk '{ s += $1 } END { print s }' "$work/turns")
bare_cpu=$(awk '{ s += $2 } END { print s }' "$work/turns")
paced_cpu=$(awk '{ s += $3 } END { print s }' "$work/turns")
panel_peak=$(peak_kib "$panel")
bare_peak=$(peak_kib "$bare")
ticks=$((rounds * turn_seconds * 10))
if ! cmp -s <(od -An -tu1 -j60 -N4 "$work/tmp/emu_port.dat") <(printf '%4s%4s%4s%4s\n' 1 4 1 4); then
    echo "warning: the light bytes changed during the idle run" >&2
fi

floor_cpu=$(awk -v bare="$bare_cpu" -v a="$a" -v n="$ticks" 'BEGIN { printf "%.0f", bare + n * a * 1000 }')
ms() { awk -v ns="$1" 'BEGIN { printf "%.2f ms", ns / 1e6 }'; }
echo "  bare window CPU                  $(ms "$bare_cpu")"
echo "  panel CPU                        $(ms "$panel_cpu")"
echo "  bare window making the floor's accesses at every tick (the floor)  $(ms "$paced_cpu")"
echo "  warm-loop floor (bare + $ticks x a), for information  $(ms "$floor_cpu")"
echo "  peak memory: panel ${panel_peak} KiB, bare window ${bare_peak} KiB"
# The goal's figure is the median of the rounds' own panel-to-floor ratios: now and then one
# turn costs two or three times its neighbours, whichever window it falls to, and one such turn
# should not decide the goal. The ratio of the totals follows it for information.
idle_cpu=$(awk '{ print $1 / $3 }' "$work/turns" | sort -g \
    | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
idle_memory=$(ratio "$panel_peak" "$bare_peak")
echo "  panel CPU against the floor, median of the rounds: $idle_cpu (of the totals: $(ratio "$panel_cpu" "$paced_cpu"))"
echo "  panel CPU against the warm-loop floor, for information: $(ratio "$panel_cpu" "$floor_cpu")"
echo "  the floor against the warm-loop floor: $(ratio "$paced_cpu" "$floor_cpu")"

echo
goal() {
    local verdict
    verdict=$(awk -v x="$2" -v limit="$3" 'BEGIN { print (x <= limit) ? "met" : "missed" }')
    echo "GOAL $1: $2 (goal <= $3) $verdict"
}
goal "c/a" "$ca" 1.25
goal "d/c" "$dc" 1.1
goal "idle CPU" "$idle_cpu" 1.10
goal "idle memory" "$idle_memory" 1.2
