#!/bin/bash
# SPDX-License-Identifier: MIT
# The GitHub Actions workflow as a runner would take it: it parses as YAML, runs on a push,
# checks the repository out and uploads the JUnit report the grading step writes, even when that
# step fails. Its steps' commands then run here, in stand-ins for the assignment's repository
# (sudo and apt-get only record what they are asked): they install the package kept in the
# repository, and the grading step passes with a correct controller and fails with a faulty one.
#   classroom.sh EXAMPLES_DIR BEXEN_PORTS
# Exit 0 passed, 1 failed, 77 skipped (a tool is not installed).
set -u
# shellcheck source=tests/autograder/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need python3:python3
# Debian's PyYAML is for Debian's python3, which another python3 first on PATH may not see.
for python in python3 /usr/bin/python3 ""; do
    "$python" -c 'import yaml' 2>/dev/null && break
done
[ -n "$python" ] || skip "python3 cannot import yaml (Debian package python3-yaml)"
workflow=$examples/autograder/github/classroom.yml

# The workflow's shape, and each run: step as a script, NAME.sh beside its shell's name.
"$python" - "$workflow" "$work/steps" <<'PY' || fail "$workflow is not the workflow expected"
import os, re, sys, yaml
doc = yaml.safe_load(open(sys.argv[1]))
# YAML 1.1 reads the key "on" as true.
triggers = doc.get("on", doc.get(True))
assert "push" in triggers, f"not run on a push: {triggers}"
steps = doc["jobs"]["grade"]["steps"]
uses = {s["uses"].split("@")[0]: s for s in steps if "uses" in s}
assert "actions/checkout" in uses, "the repository is not checked out"
upload = uses["actions/upload-artifact"]
assert upload.get("if") == "always()", "the report is not uploaded when the grading fails"
junit = re.search(r"--junit[ =](\S+)", "\n".join(s.get("run", "") for s in steps))
assert junit and upload["with"]["path"] == junit.group(1), "the upload is not the JUnit report"
os.makedirs(sys.argv[2])
for i, step in enumerate(s for s in steps if "run" in s):
    with open(os.path.join(sys.argv[2], f"{i}.sh"), "w") as f:
        f.write(step["run"])
    with open(os.path.join(sys.argv[2], f"{i}.shell"), "w") as f:
        f.write(step.get("shell", "bash"))
PY

mkdir -p "$work/fake"
printf '#!/bin/sh\nexec "$@"\n' >"$work/fake/sudo"
printf '#!/bin/sh\necho "$*" >>"$PWD/apt-get.calls"\n' >"$work/fake/apt-get"
chmod +x "$work/fake/sudo" "$work/fake/apt-get"

# A repository for each controller, graded at once: name | controller | the grading's exit status.
cases=("correct|good|0" "faulty|never-green|3")
for row in "${cases[@]}"; do
    IFS='|' read -r name kind _ <<<"$row"
    repo=$work/$name
    mkdir -p "$repo/.github/bexen/scenarios" "$repo/tmp"
    cp "$work"/scenarios/*.txt "$repo/.github/bexen/scenarios/"
    : >"$repo/.github/bexen/bexen-ports_1.0.0_amd64.deb"
    controller "$kind" "$repo/run"
    (
        cd "$repo" || exit 1
        export PATH=$work/fake:$PATH TMPDIR=$repo/tmp GITHUB_STEP_SUMMARY=$repo/summary.md
        status=0
        for step in "$work"/steps/*.sh; do
            # GitHub runs a bash step as bash --noprofile --norc -eo pipefail {0}.
            [ "$(cat "${step%.sh}.shell")" = bash ] || { echo "a step runs in $(cat "${step%.sh}.shell")"; exit 1; }
            bash --noprofile --norc -eo pipefail "$step" >>steps.log 2>&1 || { status=$?; break; }
        done
        echo "$status" >status
    ) &
done
wait

failures=0
wrong() {
    echo "FAIL: $name: $*"
    sed 's/^/    /' "$repo/steps.log"
    failures=$((failures + 1))
}
for row in "${cases[@]}"; do
    IFS='|' read -r name _ want <<<"$row"
    repo=$work/$name
    failed=$((want == 0 ? 0 : 1))
    grep -qx 'install -y --no-install-recommends ./.github/bexen/bexen-ports_1.0.0_amd64.deb' "$repo/apt-get.calls" ||
        wrong "apt-get was asked for: $(cat "$repo/apt-get.calls" 2>/dev/null)"
    [ "$(cat "$repo/status")" = "$want" ] || wrong "the steps ended with status $(cat "$repo/status"), not $want"
    grep -q "tests=\"2\" failures=\"$failed\"" "$repo/junit.xml" || wrong "junit.xml does not count 2 scenarios, $failed failed"
    grep -qx "$((2 - failed)) of 2 scenarios passed; score $((want == 0 ? 3 : 1)) of 3" "$repo/summary.md" ||
        wrong "the run's summary is '$(tail -n 1 "$repo/summary.md" 2>/dev/null)'"
done
((failures == 0)) || exit 1
echo "PASS: the workflow's steps grade a correct and a faulty controller"
