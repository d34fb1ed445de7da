#!/bin/bash
# SPDX-License-Identifier: MIT
# Makes the zip to upload as a Gradescope programming assignment's autograder: setup.sh and
# run_autograder from beside this script, the bexen-ports package, and the scenarios to grade
# with (a folder of .txt files; without it, the built-in suite).
#   make-autograder-zip.sh [--scenarios DIR] BEXEN_PORTS_DEB OUT.zip
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
usage="usage: make-autograder-zip.sh [--scenarios DIR] BEXEN_PORTS_DEB OUT.zip"

scenarios=
if [ "${1:-}" = --scenarios ]; then
    scenarios=${2:?$usage}
    shift 2
fi
deb=${1:?$usage}
out=${2:?$usage}
[ $# -eq 2 ] || { echo "$usage" >&2; exit 2; }
[ -f "$deb" ] || { echo "make-autograder-zip.sh: $deb: no such file" >&2; exit 2; }
# The image has no Qt: the panel's package, bexen-semaphores, would not install there.
package=$(dpkg-deb -f "$deb" Package 2>/dev/null) || package=
[ "$package" = bexen-ports ] ||
    { echo "make-autograder-zip.sh: $deb is not the bexen-ports package (it is '${package:-not a package}')" >&2; exit 2; }
if [ -n "$scenarios" ]; then
    found=("$scenarios"/*.txt)
    [ -f "${found[0]}" ] || { echo "make-autograder-zip.sh: $scenarios holds no .txt scenario" >&2; exit 2; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
install -m 755 "$here/setup.sh" "$here/run_autograder" "$work/"
version=$(dpkg-deb -f "$deb" Version)
cp "$deb" "$work/bexen-ports_${version}_$(dpkg-deb -f "$deb" Architecture).deb"
if [ -n "$scenarios" ]; then
    mkdir "$work/scenarios"
    cp "${found[@]}" "$work/scenarios/"
fi
out=$(realpath -m "$out")
rm -f "$out"
(cd "$work" && zip -q -r "$out" .)
echo "$out: setup.sh, run_autograder, bexen-ports $version${scenarios:+, ${#found[@]} scenarios}"
