#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `bexen-ports test --program` on the built-in suite at the default speed, in virtual time: its
# wall time against the suite's own length, for the example controller (whose delays read the
# BIOS's tick count) and for a copy of it that delays by counting loops, as a program tuned to
# one PC's speed does. Both run every instruction of the suite's time (speed x 260 s). Ends with
# one line per program:
#   "GOAL test --program junction: <scenario seconds per wall second> (goal >= 100) met|missed"
#   scripts/bench-program.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
if [ -z "${BEXEN_BUILD_DIR:-}" ]; then
    "$here/setup.sh" bexen-ports
fi
tool=${BEXEN_BUILD_DIR:-$repo/build}/tools/ports/bexen-ports

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The example with its tick wait replaced by a loop of a tick's worth of instructions at 100 000
# a second (5495 turns of LOOP, one instruction each).
awk '
    /^wait_ticks:/ {
        print "wait_ticks:\n        jcxz    .done\n.tick:\n        push    cx\n        mov     cx, 5495\n        loop    $\n        pop     cx\n        loop    .tick\n.done:\n        ret\n"
        skip = 1; next
    }
    skip && /^; The lights may show/ { skip = 0 }
    !skip' "$repo/examples/junction.asm" >"$work/busy.asm"
nasm -f bin -o "$work/busy.com" "$work/busy.asm"

suite=$("$tool" test --list | sed -n 's/^[0-9]* scenarios, \([0-9.]*\) s.*/\1/p')
goal() {
    local verdict=missed
    if awk -v m="$2" -v g="$3" 'BEGIN { exit !(m >= g) }'; then verdict=met; fi
    echo "GOAL $1: $2 (goal >= $3) $verdict"
}
for program in "$repo/examples/junction.com" "$work/busy.com"; do
    started=$(date +%s.%N)
    status=0
    "$tool" test --program "$program" >"$work/out" 2>&1 || status=$?
    took=$(awk -v t0="$started" -v now="$(date +%s.%N)" 'BEGIN { printf "%.3f", now - t0 }')
    name=$(basename "$program" .com)
    echo "test --program $name: $suite s of scenarios in $took s of wall time, status $status: $(tail -n 1 "$work/out")"
    goal "test --program $name" "$(awk -v s="$suite" -v t="$took" 'BEGIN { printf "%.0f", s / t }')" 100
done
