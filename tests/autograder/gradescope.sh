#!/bin/bash
# SPDX-License-Identifier: MIT
# The Gradescope recipe in a stand-in for /autograder: the autograder zip holds what Gradescope
# needs and refuses any package but the tool's; setup.sh installs the package from beside it;
# run_autograder finds each kind of submission's controller and leaves the scores expected in
# results.json, or says why it could not grade.
#   gradescope.sh EXAMPLES_DIR BEXEN_PORTS
# Exit 0 passed, 1 failed, 77 skipped (a tool is not installed).
set -u
# shellcheck source=tests/autograder/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need zip:zip unzip:unzip dpkg-deb:dpkg python3:python3
recipe=$examples/autograder/gradescope

# A package by the name and version of the tool's stands in for it: what setup.sh does with it is
# recorded by the apt-get below, not carried out.
fake_deb() {
    mkdir -p "$work/deb/$1/DEBIAN"
    printf 'Package: %s\nVersion: 1.0.0\nArchitecture: amd64\nMaintainer: m <m@bexen.invalid>\nDescription: d\n' \
        "$1" >"$work/deb/$1/DEBIAN/control"
    dpkg-deb --root-owner-group -b "$work/deb/$1" "$work/$1.deb" >/dev/null || fail "dpkg-deb -b $1"
}
fake_deb bexen-ports
fake_deb bexen-semaphores

bash "$recipe/make-autograder-zip.sh" --scenarios "$work/scenarios" "$work/bexen-semaphores.deb" "$work/panel.zip" \
    >/dev/null 2>&1 && fail "make-autograder-zip.sh took the panel's package"
bash "$recipe/make-autograder-zip.sh" --scenarios "$work/scenarios" "$work/bexen-ports.deb" "$work/autograder.zip" \
    >"$work/zip.log" 2>&1 || fail "make-autograder-zip.sh: $(cat "$work/zip.log")"
listing=$(zipinfo "$work/autograder.zip" | awk '$1 ~ /^-/ { print $1, $NF }' | sort)
expected="-rw-r--r-- bexen-ports_1.0.0_amd64.deb
-rw-r--r-- scenarios/1-quiet.txt
-rw-r--r-- scenarios/2-car-at-1.txt
-rwxr-xr-x run_autograder
-rwxr-xr-x setup.sh"
[ "$listing" = "$expected" ] || fail "the autograder zip holds:
$listing"

# Gradescope unpacks the zip into /autograder/source and runs setup.sh there as root.
grader=$work/autograder
mkdir -p "$grader/source" "$work/apt"
unzip -q "$work/autograder.zip" -d "$grader/source"
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/apt/calls" >"$work/apt/apt-get"
chmod +x "$work/apt/apt-get"
(cd "$grader/source" && AUTOGRADER_ROOT=$grader PATH=$work/apt:$PATH bash ./setup.sh) >"$work/setup.log" 2>&1 ||
    fail "setup.sh: $(cat "$work/setup.log")"
grep -qx "install -y --no-install-recommends $grader/source/bexen-ports_1.0.0_amd64.deb" "$work/apt/calls" ||
    fail "setup.sh did not install the package beside it: apt-get $(cat "$work/apt/calls")"

# Each submission in an /autograder of its own, all graded at once: name | files | score and
# statuses | the first failure's reason, as a pattern (its times depend on the polls).
# A controller is a run, run.sh or lone script; a DOS program is graded in virtual time.
cases=(
    "demo|run:good|3 passed passed|"
    "all-red|run.sh:never-green notes.txt:|1 passed failed|at * s: the car at light 1 waited * s and its light never turned green (it showed 1 red)"
    "all-green|controller:both-green|0 failed failed|at * s: both roads moving*"
    "nothing|notes.txt: README:|0|No controller found: hand in a .com or .exe program, or a script named run."
)
if bexen-ports run --help 2>/dev/null | head -n 1 | grep -q ' run'; then
    # INT 20h: a DOS program that ends at once, before any light is set.
    cases+=("dos-program|prog.com:int20|0 failed failed|*the program ended (exit code 0)*")
    cases+=("example-program|junction.com:example|3 passed passed|")
fi
for row in "${cases[@]}"; do
    IFS='|' read -r name files _ <<<"$row"
    root=$work/$name
    mkdir -p "$root/submission" "$root/tmp"
    ln -s "$grader/source" "$root/source"
    for file in $files; do
        case ${file#*:} in
            "") echo "not a controller" >"$root/submission/${file%%:*}" ;;
            int20) printf '\xcd\x20' >"$root/submission/${file%%:*}" ;;
            example) cp "$examples/junction.com" "$root/submission/${file%%:*}" ;;
            *) controller "${file#*:}" "$root/submission/${file%%:*}" ;;
        esac
    done
    (cd "$root" && TMPDIR=$root/tmp AUTOGRADER_ROOT=$root bash "$grader/source/run_autograder" >"$root/log.txt" 2>&1
     echo $? >"$root/status") &
done
wait

failures=0
for row in "${cases[@]}"; do
    IFS='|' read -r name _ want reason <<<"$row"
    root=$work/$name
    got=$(results_of "$root/results/results.json" 2>&1)
    status=$(cat "$root/status")
    # shellcheck disable=SC2053 # the reason is a pattern
    if [ "$status" != 0 ] || [[ ${got%%$'\t'*} != "$want" ]] || [[ ${got#*$'\t'} != $reason ]]; then
        echo "FAIL: $name: run_autograder exited $status; results.json says '$got', not '$want' '$reason'"
        sed 's/^/    /' "$root/log.txt"
        failures=$((failures + 1))
    fi
done
((failures == 0)) || exit 1
echo "PASS: the autograder zip, setup.sh and ${#cases[@]} submissions graded as expected"
