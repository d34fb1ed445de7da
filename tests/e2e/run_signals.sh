#!/bin/bash
# SPDX-License-Identifier: MIT
# Starts scripts/run.sh under Xvfb, as a user does, waits until the demo has a road on green, then
# terminates the script from outside with SIGTERM, and again with SIGHUP: each time the panel and
# the demo must both be gone and all four lights left red in the port file.
# Exit 0 passed, 1 failed, 77 skipped (no Xvfb on this machine).
set -u

run_sh=${1:?usage: run_signals.sh PATH-TO-run.sh BUILD-DIR}
build=${2:?usage: run_signals.sh PATH-TO-run.sh BUILD-DIR}
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIP: Xvfb is not installed (Debian package xvfb), so the panel has no display"
    exit 77
fi

work=$(mktemp -d)
xvfb_pid=""
run_pid=""
panel=""
demo=""
cleanup() {
    for p in "$run_pid" "$panel" "$demo"; do
        [ -n "$p" ] && kill -KILL "$p" 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$work/run.log" ] && sed 's/^/  run.sh: /' "$work/run.log"
    exit 1
}

# shellcheck source=../../scripts/xvfb.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"
start_xvfb "$work" 640x480x24 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

lights() { # "1 4 1 4": the bytes of ports 160 to 163, empty until the file has them
    od -An -tu1 -j 60 -N4 "$work/tmp/emu_port.dat" 2>/dev/null | tr -s '[:space:]' ' ' | sed 's/^ //; s/ $//'
}

# The processes run.sh started, by the names their programs have.
children() { # -> "PID NAME" lines
    ps -o pid=,comm= --ppid "$run_pid" 2>/dev/null
}

for signal in TERM HUP; do
    rm -rf "$work/tmp"
    mkdir "$work/tmp"
    env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work" \
        BEXEN_BUILD_DIR="$build" bash "$run_sh" >"$work/run.log" 2>&1 &
    run_pid=$!

    # The demo starts with every light red, then gives one road red and yellow, then green.
    green=""
    for _ in $(seq 150); do
        case " $(lights) " in *" 4 "*) green=yes; break ;; esac
        kill -0 "$run_pid" 2>/dev/null || fail "run.sh ended by itself"
        sleep 0.1
    done
    [ -n "$green" ] || fail "no light turned green within 15 s (lights: $(lights))"
    panel=$(children | awk '$2 ~ /^bexen-semaphore/ { print $1 }')
    demo=$(children | awk '$2 == "bexen-ports" { print $1 }')
    [ -n "$panel" ] || fail "the panel is not running"
    [ -n "$demo" ] || fail "the demo is not running"

    kill -"$signal" "$run_pid"
    for _ in $(seq 100); do
        kill -0 "$run_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$run_pid" 2>/dev/null && fail "run.sh still runs 10 s after SIG$signal"
    wait "$run_pid" 2>/dev/null
    run_pid=""
    for p in "$panel" "$demo"; do
        kill -0 "$p" 2>/dev/null && fail "process $p ($(ps -o comm= -p "$p")) outlived run.sh after SIG$signal"
    done
    panel=""
    demo=""
    [ "$(lights)" = "1 1 1 1" ] || fail "after SIG$signal the lights are $(lights), not all red (1 1 1 1)"
    echo "SIG$signal: run.sh, the panel and the demo ended; lights $(lights)"
done
echo "PASS"
