#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzzer of the port file channel and the tick with clang into build-fuzz/, runs it for
# SECONDS from the seeds in fuzz/corpus/, and reports the runs made and the findings. Exits 1 on a
# finding; its input is kept in build-fuzz/findings/ to be replayed with
#   build-fuzz/fuzz_port_channel build-fuzz/findings/crash-...
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
ensure_packages clang libclang-rt-14-dev cmake ninja-build

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo/fuzz" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)"

# New inputs go into the build directory's corpus; the seeds in the repository are only read.
corpus="$build_dir/corpus"
findings="$build_dir/findings"
mkdir -p "$corpus" "$findings"
rm -f "$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-*
log="$build_dir/fuzz.log"

# The port file goes to a private directory under TMPDIR; a tmpfs there keeps the disk out of it.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

set +e
"$build_dir/fuzz_port_channel" "$corpus" "$repo/fuzz/corpus" \
    -max_total_time="$seconds" -max_len=512 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$log" 2>&1
status=$?
set -e

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
found=$(find "$findings" -type f | wc -l)
echo "fuzz_port_channel: ${seconds} s, ${runs:-?} runs (${speed:-?} a second), corpus of $(find "$corpus" -type f | wc -l) inputs, ${found} finding(s)"
if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    grep -E "ERROR|check failed|SUMMARY" "$log" | head -n 20 >&2 || true
    echo "fuzz.sh: the fuzzer found a fault (exit status $status); log: $log; inputs: $findings/" >&2
    exit 1
fi
