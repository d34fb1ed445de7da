# SPDX-License-Identifier: MIT
# Sourced by the scripts and tests that need an X server of their own.
# `start_xvfb WORKDIR [SCREEN]` starts Xvfb on a free display that the server picks and reports
# (never a guessed number), exports DISPLAY, and sets `xvfb_pid`. Returns 1, with Xvfb's own
# words in WORKDIR/xvfb.log, when it does not start within 10 s.
start_xvfb() {
    local work=$1 screen=${2:-1024x768x24}
    Xvfb -displayfd 5 -screen 0 "$screen" -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}
