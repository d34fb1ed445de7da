#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes bexen-ports(1), compressed, from the built program's own help, so that the page shows
# exactly the commands and options that `bexen-ports --help` does:
#   ports-man.sh BEXEN_PORTS INCLUDE.h2m CHANGELOG OUT.1.gz
# help2man turns the main --help into the page; the help of each command listed there
# (`bexen-ports COMMAND --help`) becomes its subsection of COMMANDS IN DETAIL.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$1 include=$2 changelog=$3 out=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The commands are the first words of the indented lines under the "Commands:" heading
# (or "Subcommands:"), up to the next blank or unindented line.
"$program" --help >"$work/help"
mapfile -t commands < <(awk '
    tolower($0) ~ /^[a-z ]*commands:[ \t]*$/ { listing = 1; next }
    listing && (/^[ \t]*$/ || /^[^ \t]/) { listing = 0 }
    listing && match($0, /[^ ]/) && RSTART <= 7 && $1 ~ /^[a-z][a-z0-9_-]*$/ { print $1 }
' "$work/help")
if ((${#commands[@]} == 0)); then
    echo "$0: found no commands in $program --help" >&2
    exit 1
fi

{
    echo "[COMMANDS IN DETAIL]"
    for command in "${commands[@]}"; do
        "$program" "$command" --help >"$work/command.help"
        awk -v command="$command" -f "$here/help2roff.awk" "$work/help" "$work/command.help"
    done
} >"$work/details.h2m"

# The page carries the date of the release in the changelog, not of the build, so building the
# same release twice makes the same page.
released=$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)
SOURCE_DATE_EPOCH=$(date -u -d "$released" +%s)
export SOURCE_DATE_EPOCH

LC_ALL=C.UTF-8 help2man --no-info --section=1 \
    --name="see, set, watch, record, chart and check the junction's port file; grade a controller" \
    --include="$include" --include="$work/details.h2m" \
    --output="$work/page.1" "$program"
gzip -9 -n -c "$work/page.1" >"$out.tmp"
mv "$out.tmp" "$out"
