#!/bin/bash
# SPDX-License-Identifier: MIT
# Gradescope runs this once, as root, when it builds the autograder's image: it installs
# bexen-ports from the Debian package that make-autograder-zip.sh put beside it. The package
# needs only the C and C++ runtime, which every Ubuntu image Gradescope offers has.
set -euo pipefail
source=${AUTOGRADER_ROOT:-/autograder}/source

debs=("$source"/bexen-ports_*.deb)
if [ ! -f "${debs[0]}" ] || [ "${#debs[@]}" -ne 1 ]; then
    echo "setup.sh: expected one bexen-ports_*.deb in $source, found: ${debs[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${debs[0]}"
bexen-ports --version
