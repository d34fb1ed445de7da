#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets everything up (packages, build), then starts the panel with the demo controller driving it,
# so the junction works at once; or, given a student's DOS program, with that program run by
# `bexen-ports run` in place of the demo. Closing the window stops both; so does Ctrl-C, and so
# does a SIGTERM or SIGHUP to this script (a session manager logging out, a terminal closed): the
# demo ends its phase safely and leaves every light red (a program is ended where it is), and the
# panel closes.
#   scripts/run.sh [PROGRAM [ARGUMENTS]...]
#   BEXEN_BUILD_DIR=DIR scripts/run.sh   runs what DIR holds as it is, without setting up (tests)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -n "${BEXEN_BUILD_DIR:-}" ]; then
    bin=$BEXEN_BUILD_DIR
else
    "$here/setup.sh" bexen-semaphores bexen-ports
    bin="$here/../build"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "bexen-semaphores needs a display: none is set (DISPLAY is empty); see README.md for running it under Xvfb" >&2
    exit 1
fi

demo=""
panel=""
stop_both() {
    trap - INT TERM HUP
    # The demo takes SIGTERM as it takes Ctrl-C: it ends its phase through yellow and leaves
    # every light red. (SIGINT itself may still be ignored, as bash starts it in the background.)
    [ -z "$demo" ] || kill -TERM "$demo" 2>/dev/null || true
    [ -z "$panel" ] || kill -TERM "$panel" 2>/dev/null || true
    [ -z "$demo" ] || wait "$demo" 2>/dev/null || true
    [ -z "$panel" ] || wait "$panel" 2>/dev/null || true
}
trap stop_both EXIT
# bash runs a trap only once the foreground command has ended, so the panel is not run in the
# foreground: `wait` gives way to a signal at once, and the exit runs stop_both.
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

if [ "$#" -gt 0 ]; then
    "$bin/tools/ports/bexen-ports" run -- "$@" &
else
    "$bin/tools/ports/bexen-ports" demo &
fi
demo=$!
"$bin/panel/bexen-semaphores" &
panel=$!
wait "$panel"
