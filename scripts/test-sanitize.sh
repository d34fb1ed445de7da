#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole suite (the end-to-end and soak tests included) built with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/, then run; any report fails its test.
#   scripts/test-sanitize.sh [ctest options]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build_dir="$repo/build-sanitize"

# The packages and the ordinary configuration; only the port library is built there.
"$here/setup.sh" bexen_io

# GCC's manual warns that the sanitizers raise false -Wmaybe-uninitialized warnings; GCC 12 gives
# them inside libstdc++'s <regex>, which a CI build (-Werror) would stop on. The ordinary build
# keeps the warning.
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all -Wno-maybe-uninitialized"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="$flags" \
        -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
        -DCMAKE_MODULE_LINKER_FLAGS="$flags" \
        -DBEXEN_BUILD_BENCHMARKS=OFF
fi
cmake --build "$build_dir" --parallel "$(nproc)"

# Leaks are reported for the project's code only: the suppressions name third-party libraries.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$repo/tests/sanitizers/lsan.supp:print_suppressions=0"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "$@"
