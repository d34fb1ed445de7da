# SPDX-License-Identifier: MIT
# shellcheck shell=bash disable=SC2034 # sourced: what it sets is used by the test that sources it
# Shared by the autograder recipes' tests: the tool from the build on PATH, two short scenarios
# (a few seconds in all, where the built-in suite takes minutes), three controllers that earn
# known scores on them, and a work folder removed at the end.
#   . common.sh EXAMPLES_DIR BEXEN_PORTS
# Scores: quiet is worth 1 point, car-at-1 2. The demo passes both (3). A controller that holds
# every light red passes quiet and leaves the car waiting past car-at-1's max-wait (1). One that
# takes all four lights through red and yellow to green, each step a legal one held for two
# polls, has both roads moving at once in both (0).
examples=${1:?usage: TEST EXAMPLES_DIR BEXEN_PORTS}
tool=${2:?usage: TEST EXAMPLES_DIR BEXEN_PORTS}

fail() {
    echo "FAIL: $*"
    exit 1
}
skip() {
    echo "SKIP: $*"
    exit 77
}
need() {
    local tool
    for tool in "$@"; do
        command -v "${tool%%:*}" >/dev/null 2>&1 || skip "${tool%%:*} is not installed (Debian package ${tool#*:})"
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/scenarios" "$work/tmp"
ln -s "$(realpath "$tool")" "$work/bin/bexen-ports"
PATH=$work/bin:$PATH
# Every run has a temporary directory, and so a port file, of its own.
TMPDIR=$work/tmp
export PATH TMPDIR

printf 'name quiet\npoints 1\nduration 2\n' >"$work/scenarios/1-quiet.txt"
printf 'name car-at-1\npoints 2\nduration 4.5\nmax-wait 3\n0.5 car 1\n' >"$work/scenarios/2-car-at-1.txt"

# controller KIND FILE: writes that controller as a shell script, without its executable bit,
# as a student's upload comes.
controller() {
    case $1 in
        good) body='exec bexen-ports demo --red-yellow 0.5 --all-red 0.5' ;;
        never-green) body='bexen-ports set 160 1 161 1 162 1 163 1 && exec sleep 600' ;;
        both-green) body='for v in 1 2 4; do bexen-ports set 160 $v 161 $v 162 $v 163 $v; sleep 0.3; done; exec sleep 600' ;;
    esac
    mkdir -p "$(dirname "$2")"
    printf '#!/bin/sh\n%s\n' "$body" >"$2"
}

# results_of RESULTS.JSON: "SCORE STATUS...", a tab, and the first failure's output (the whole
# output if no scenario ran).
results_of() {
    python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
failed = [t["output"] for t in r["tests"] if t["status"] != "passed"]
reason = failed[0] if failed else "" if r["tests"] else r.get("output", "")
print(" ".join([str(r["score"])] + [t["status"] for t in r["tests"]]) + "\t" + reason)
' "$1"
}
