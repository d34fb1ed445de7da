# SPDX-License-Identifier: MIT
# Sourced by bench.sh and bench-windows.sh: how both idle benches measure. The programs take
# turns of a second each, one running while the others are stopped, and the order moves on by one
# at every round. Side by side, their 100 ms timers would fire at the same instants and whichever
# ran second would find the shared libraries' code already brought in by the first; in turns each
# pays for its own wake-ups, under the same machine within seconds of the others.
#
# The caller sets `work` (its scratch directory) and puts each program it starts in `pids`.
# BENCH_ROUNDS=N takes N rounds instead of 60, to try a bench out quickly.

rounds=${BENCH_ROUNDS:-60}
turn_seconds=1
settle_seconds=0.2
xvfb_pid=""
pids=()

# Ends every program started, a stopped one too (it would hold the signal until continued), then
# the X server, and removes the scratch directory.
stop_all() {
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null && kill -CONT "$p" 2>/dev/null || true; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}

# Lights 1 to 4 red, green, red, green, and nothing else changing, in port file $1.
write_idle_port_file() {
    head -c 64 /dev/zero >"$1"
    printf '\001\004\001\004' | dd of="$1" bs=1 seek=60 conv=notrunc status=none
}

warn_if_lights_changed() {
    if ! cmp -s <(od -An -tu1 -j60 -N4 "$1") <(printf '%4s%4s%4s%4s\n' 1 4 1 4); then
        echo "warning: the light bytes changed during the idle run" >&2
    fi
}

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

# Process $1's CPU time over one turn of its own, and with $2 that process's meanwhile too; the
# skipped first moments hold the tick it missed while stopped.
turn() {
    local start beside_start=""
    kill -CONT "$1"
    sleep "$settle_seconds"
    start=$(cpu_ns "$1")
    [ -z "${2:-}" ] || beside_start=$(cpu_ns "$2")
    sleep "$turn_seconds"
    echo "$(($(cpu_ns "$1") - start))${2:+ $(($(cpu_ns "$2") - beside_start))}"
    kill -STOP "$1"
}

# `take_turns OUT BESIDE PID...`: after five seconds for the programs to settle, one line per
# round into OUT, the figures of each PID's turn in the order given (with BESIDE not empty, each
# followed by BESIDE's CPU time during that turn).
take_turns() {
    local out=$1 beside=$2 r k j p
    shift 2
    local order=("$@") spent
    sleep 5
    for p in "${order[@]}"; do
        kill -0 "$p" 2>/dev/null || { echo "error: process $p ended before the measurement" >&2; exit 1; }
    done
    kill -STOP "${order[@]}"
    : >"$out"
    for ((r = 0; r < rounds; r++)); do
        spent=()
        for ((k = 0; k < ${#order[@]}; k++)); do
            j=$(((k + r) % ${#order[@]}))
            spent[j]=$(turn "${order[j]}" "$beside")
        done
        echo "${spent[*]}" >>"$out"
    done
    kill -CONT "${order[@]}"
}

# The sum of column $1 of file $2.
column_sum() { awk -v c="$1" '{ s += $c } END { printf "%.0f", s }' "$2"; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.2f ms", ns / 1e6 }'; }
ratio() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%.3f", x / y }'; }
# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

goal() {
    local verdict
    verdict=$(awk -v x="$2" -v limit="$3" 'BEGIN { print (x <= limit) ? "met" : "missed" }')
    echo "GOAL $1: $2 (goal <= $3) $verdict"
}
