#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `bexen-ports run` of the example controller (examples/junction.com) at the default speed for
# SECONDS (10 unless given), against a port file in a private directory with a car arriving now
# and then: its CPU time as a share of one core (the scheduler's nanoseconds on a CPU), and the speed it held while running, from the
# line its time limit ends it with. Ends with two lines:
#   "GOAL run CPU: <percent of a core> (goal <= 2) met|missed"
#   "GOAL run speed: <percent off --speed> (goal <= 1) met|missed"
#   scripts/bench-run.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
seconds=${1:-10}
speed=100000
if [ -z "${BEXEN_BUILD_DIR:-}" ]; then
    "$here/setup.sh" bexen-ports
fi
tool=${BEXEN_BUILD_DIR:-$repo/build}/tools/ports/bexen-ports

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work

"$tool" run --speed "$speed" --max-seconds "$seconds" "$repo/examples/junction.com" \
    >"$work/out" 2>"$work/err" &
pid=$!
started=$(date +%s.%N)
# A car at each light in turn; the CPU time is read half a second before the limit ends the run.
for ((i = 0; i + 3 <= seconds; i += 3)); do
    sleep 1.5
    "$tool" set 150 $((1 << (i / 3 % 4)))
    sleep 1.5
    "$tool" set 150 0
done
sleep "$(awk -v s="$seconds" -v t0="$started" -v now="$(date +%s.%N)" 'BEGIN { w = s - 0.5 - (now - t0); print (w > 0 ? w : 0) }')"
cpu_ns=$(awk '{ print $1 }' /proc/"$pid"/schedstat)
measured=$(awk -v t0="$started" -v now="$(date +%s.%N)" 'BEGIN { print now - t0 }')
status=0
wait "$pid" || status=$?
if [ "$status" -ne 124 ]; then
    echo "bench-run.sh: run ended with status $status, not the time limit's 124:" >&2
    cat "$work/err" >&2
    exit 1
fi
cpu=$(awk -v n="$cpu_ns" -v s="$measured" 'BEGIN { printf "%.2f", 100 * n / 1e9 / s }')
held=$(sed -n 's/.*(\([0-9]*\) a second while running.*/\1/p' "$work/err")
off=$(awk -v h="$held" -v s="$speed" 'BEGIN { d = (h - s) / s * 100; if (d < 0) d = -d; printf "%.3f", d }')
echo "run of examples/junction.com for $seconds s: $(cat "$work/err")"
goal() {
    local verdict=missed
    if awk -v m="$2" -v g="$3" 'BEGIN { exit !(m <= g) }'; then verdict=met; fi
    echo "GOAL $1: $2 (goal <= $3) $verdict"
}
goal "run CPU" "$cpu" 2
goal "run speed" "$off" 1
