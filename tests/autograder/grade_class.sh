#!/bin/bash
# SPDX-License-Identifier: MIT
# grade-class.sh on a class of three, graded at once on short scenarios: one CSV line each, in
# the students' order, with the score, the scenarios passed and the first failure.
#   grade_class.sh EXAMPLES_DIR BEXEN_PORTS
# Exit 0 passed, 1 failed, 77 skipped (a tool is not installed).
set -u
# shellcheck source=tests/autograder/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need parallel:parallel python3:python3

controller good "$work/class/alice/run"
controller never-green "$work/class/bob/run.sh"
controller both-green "$work/class/carol smith/controller"

bash "$examples/autograder/grade-class.sh" --jobs 3 --scenarios "$work/scenarios" "$work/class" "$work/grades.csv" \
    >"$work/log.txt" 2>&1 || fail "grade-class.sh: $(cat "$work/log.txt")"
# The times in a reason depend on the polls: they are left out, and so is what the lights
# showed when both roads moved (a comma in it quotes the field).
got=$(sed -E 's/[0-9]+\.[0-9] s/# s/g' "$work/grades.csv" | tr -d '\r')
expected='student,score,scenarios passed,first failure
alice,3,2 of 2,
bob,1,1 of 2,car-at-1: at # s: the car at light 1 waited # s and its light never turned green (it showed 1 red)
carol smith,0,0 of 2,"quiet: at # s: both roads moving: '
[[ $got == "$expected"* ]] || fail "the grades are
$got
not
$expected..."
echo "PASS: three students graded into one CSV"
