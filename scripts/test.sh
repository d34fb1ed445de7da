#!/usr/bin/env bash
# Sets everything up (packages, build) and runs the whole test suite.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/setup.sh"
ctest --test-dir "$here/../build" --output-on-failure --parallel "$(nproc)" "$@"
