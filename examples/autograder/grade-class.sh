#!/bin/bash
# SPDX-License-Identifier: MIT
# Grades a whole class at once: every folder of SUBMISSIONS is one student's submission (named
# by the folder), graded as Gradescope grades it (gradescope/run_autograder: the same search for
# the controller, the same verdicts), several at a time with GNU parallel, each on a port file
# of its own. One CSV line per student: student, score, scenarios passed, first failure.
#   grade-class.sh [--jobs N] [--scenarios DIR] SUBMISSIONS OUT.csv
# --jobs: students graded at once (default: the number of processors); --scenarios: a folder of
# scenario files (.txt) to grade with instead of the built-in suite. A grading runs in real
# time, so as many at once as the machine has processors take no longer than one.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
usage="usage: grade-class.sh [--jobs N] [--scenarios DIR] SUBMISSIONS OUT.csv"

jobs=$(nproc)
scenarios=
while [ $# -gt 0 ]; do
    case $1 in
        --jobs) jobs=${2:?$usage}; shift 2 ;;
        --scenarios) scenarios=$(realpath "${2:?$usage}"); shift 2 ;;
        -*) echo "$usage" >&2; exit 2 ;;
        *) break ;;
    esac
done
[ $# -eq 2 ] || { echo "$usage" >&2; exit 2; }
submissions=$1 out=$2
[ -d "$submissions" ] || { echo "grade-class.sh: $submissions is not a folder" >&2; exit 2; }
for need in parallel:parallel python3:python3 bexen-ports:bexen-ports; do
    command -v "${need%%:*}" >/dev/null ||
        { echo "grade-class.sh: ${need%%:*} is not installed (Debian package ${need#*:})" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One student: an autograder's folders of its own, a copy of the submission (run_autograder
# may make a script executable), and a temporary directory of its own, where the port file is.
grade_one() {
    local student root
    student=$(basename "$1")
    root=$work/$student
    mkdir -p "$root/source" "$root/tmp"
    cp -r "$1" "$root/submission"
    [ -z "$scenarios" ] || ln -s "$scenarios" "$root/source/scenarios"
    TMPDIR=$root/tmp AUTOGRADER_ROOT=$root bash "$here/gradescope/run_autograder" \
        >"$root/log.txt" 2>&1
}
export -f grade_one
export work scenarios here

find "$submissions" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z |
    SHELL=$BASH parallel --null --jobs "$jobs" grade_one {}

python3 - "$work" "$out" <<'PY'
import csv, json, pathlib, sys
work, out = pathlib.Path(sys.argv[1]), sys.argv[2]
with open(out, "w", newline="") as f:
    table = csv.writer(f)
    table.writerow(["student", "score", "scenarios passed", "first failure"])
    for root in sorted(p for p in work.iterdir() if p.is_dir()):
        try:
            results = json.loads((root / "results" / "results.json").read_text())
        except (OSError, ValueError) as e:
            table.writerow([root.name, 0, "0 of 0", f"not graded: {e}"])
            continue
        tests = results.get("tests", [])
        passed = sum(t["status"] == "passed" for t in tests)
        failed = [t for t in tests if t["status"] != "passed"]
        first = f'{failed[0]["name"]}: {failed[0]["output"]}' if failed else results["output"] if not tests else ""
        table.writerow([root.name, results["score"], f"{passed} of {len(tests)}", first])
PY
echo "$out: $(($(wc -l <"$out") - 1)) students"
