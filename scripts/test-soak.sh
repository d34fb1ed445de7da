#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The soak and chaos test alone, for as long as asked, with its figures shown.
#   scripts/test-soak.sh [SECONDS]    (10 s when not given)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

seconds=${1:-10}
if ! [[ "$seconds" =~ ^[1-9][0-9]{0,5}$ ]] || ((seconds > 604800)); then
    echo "test-soak.sh: SECONDS must be a whole number from 1 to 604800 (a week), not '$seconds'" >&2
    exit 2
fi

"$here/setup.sh" tst_soak soak_replacer soak_emulator
# Run directly rather than through ctest, whose time limit is made for the short form.
BEXEN_SOAK_SECONDS=$seconds exec "$here/../build/tests/soak/tst_soak"
