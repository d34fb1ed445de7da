#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzzers with clang into build-fuzz/ and runs each for SECONDS from its seeds: the port
# file channel and the tick from fuzz/corpus/, the machine (where Unicorn is installed) from
# fuzz/corpus-machine/. Reports each one's runs and findings. Exits 1 on a finding; its input is
# kept in build-fuzz/findings/TARGET/ to be replayed with
#   build-fuzz/fuzz_port_channel build-fuzz/findings/fuzz_port_channel/crash-...
#   scripts/fuzz.sh SECONDS
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build_dir="$repo/build-fuzz"

seconds=${1:-}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: SECONDS must be a whole number of seconds above 0, not '${seconds}'" >&2
    exit 2
fi

# shellcheck source=packages.sh
. "$here/packages.sh"
ensure_packages clang libclang-rt-14-dev cmake ninja-build pkg-config libunicorn-dev

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo/fuzz" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)"

# The port file goes to a private directory under TMPDIR; a tmpfs there keeps the disk out of it.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# Runs one fuzzer: TARGET SEEDS MAX_LEN. New inputs go into the build directory's corpus; the
# seeds in the repository are only read.
failed=0
fuzz() {
    local target=$1 seeds=$2 max_len=$3
    local corpus="$build_dir/corpus/$target" findings="$build_dir/findings/$target"
    local log="$build_dir/$target.log"
    mkdir -p "$corpus" "$findings"
    rm -f "$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-*
    local status=0
    "$build_dir/$target" "$corpus" "$seeds" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
    local runs speed found
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    found=$(find "$findings" -type f | wc -l)
    echo "$target: ${seconds} s, ${runs:-?} runs (${speed:-?} a second), corpus of $(find "$corpus" -type f | wc -l) inputs, ${found} finding(s)"
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        grep -E "ERROR|check failed|SUMMARY" "$log" | head -n 20 >&2 || true
        echo "fuzz.sh: $target found a fault (exit status $status); log: $log; inputs: $findings/" >&2
        failed=1
    fi
}

fuzz fuzz_port_channel "$repo/fuzz/corpus" 512
if [ -x "$build_dir/fuzz_machine" ]; then
    # Unicorn 2.0.1 loses the bitmap it makes of a page whose code the program writes over: a leak
    # of the library's, not of the machine's.
    LSAN_OPTIONS="suppressions=$repo/fuzz/lsan-unicorn.supp:print_suppressions=0" \
        fuzz fuzz_machine "$repo/fuzz/corpus-machine" 4096
fi
exit "$failed"
