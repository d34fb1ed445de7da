# SPDX-License-Identifier: MIT
# Sourced by the end-to-end tests that click a running panel: its port file, read from outside,
# and its window. They set `portfile` and define `fail MESSAGE` first.

# `port_byte PORT`: the byte of PORT in $portfile in decimal; empty while the file has no such byte.
port_byte() {
    od -An -tu1 -j $(($1 - 100)) -N1 "$portfile" 2>/dev/null | tr -d '[:space:]'
}

# `wait_for_byte PORT VALUE`: true once the byte is VALUE, false after 10 s.
wait_for_byte() {
    for _ in $(seq 100); do
        [ "$(port_byte "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# `find_panel_window PID LOG`: sets `window` to the panel's visible window, waiting up to 20 s;
# fails when the panel's process PID ends first, with what it wrote to LOG.
find_panel_window() {
    window=""
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name '^Bexen  Semaphores$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && return 0
        kill -0 "$1" 2>/dev/null || fail "the panel exited early: $(cat "$2")"
        sleep 0.1
    done
    fail "no window named \"Bexen  Semaphores\" appeared"
}
