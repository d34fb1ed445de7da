#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# clang-tidy over the tree as built (build/compile_commands.json), with the checks .clang-tidy
# names, one file per core at a time; fails on any finding.
#   scripts/lint.sh [REGEX]   every source file of the project, or those whose path matches
# The build comes first: the tests include the moc files it generates. Files it generates
# itself (moc, resources, pictures) are not linted.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# shellcheck source=packages.sh
. "$repo/scripts/packages.sh"
ensure_packages clang-tidy
"$repo/scripts/setup.sh"
# The layers of tools/ports first: a grep, quicker than any clang-tidy run.
"$repo/scripts/check-layers.sh"

files=${1:-"^$repo/(io|poll|junction|machine|panel|tools|tests|bench|fuzz)/.*\.cpp$"}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# Diagnostics in headers only from the project's own folders: not from Qt's, nor from the moc
# files the tests include from build/.
run-clang-tidy -quiet -p "$repo/build" -j "$(nproc)" \
    -header-filter="^$repo/(io|poll|junction|machine|panel|tools|tests|bench|fuzz)/" "$files" >"$log" 2>&1 ||
    status=$?
# Only the findings and what clang-tidy could not read; not its counts of warnings it left out.
sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Running clang-tidy|^clang-tidy-14 |^$' || true
if ((status != 0)); then
    echo "lint: clang-tidy found something (above)" >&2
    exit 1
fi
echo "lint: no finding"
