#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up (packages, build) and runs the whole test suite.
#   scripts/test.sh [ctest options]   the suite, with the short soak
#   scripts/test.sh --sanitize        the suite built and run under AddressSanitizer and UBSan
#   scripts/test.sh --windows         the panel and bexen-ports built for Windows, tested under Wine
#   scripts/test.sh --soak SECONDS    the soak and chaos test alone, for as long as asked
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

case "${1:-}" in
    --sanitize) shift; exec "$here/test-sanitize.sh" "$@" ;;
    --windows) shift; exec "$here/test-windows.sh" "$@" ;;
    --soak) shift; exec "$here/test-soak.sh" "$@" ;;
esac

"$here/setup.sh"
ctest --test-dir "$here/../build" --output-on-failure --parallel "$(nproc)" "$@"
