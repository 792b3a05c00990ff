#!/usr/bin/env bash
# The main window comes back where the user left it: start the program under
# Xvfb, move and resize its main window, quit with Ctrl+Q, start it again
# over the same settings folder (a fresh one of this run's own) and compare
# the window's place and size.
# Usage: place.sh [BUILD_DIR]   (default: build/ beside this repository's top)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd) || exit 1
# shellcheck source=lib.sh
source "$here/lib.sh"

# X, Y, WIDTH and HEIGHT of a window, as one line.
geometry() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")" || return 1
    echo "$X $Y $WIDTH $HEIGHT"
}

# Waits up to 20 s for the program to end by itself; returns its status.
wait_end() {
    local i
    for ((i = 0; i < 200; i++)); do
        if ! kill -0 "$E2E_PID" 2>/dev/null; then
            wait "$E2E_PID"
            local status=$?
            E2E_PID=""
            return $status
        fi
        sleep 0.1
    done
    e2e_log "the program did not end within 20 s of Ctrl+Q"
    return 124
}

e2e_start_xvfb || exit 1
e2e_start_program "$build/bin/ostrander" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1
sleep 0.5
first=$(geometry "$window") || exit 1

xdotool windowmove --sync "$window" 137 91 || exit 1
xdotool windowsize --sync "$window" 1003 707 || exit 1
sleep 0.5
e2e_alive "moving and resizing the main window"
left=$(geometry "$window") || exit 1
e2e_log "opened at $first, left at $left"
if [ "$left" = "$first" ]; then
    e2e_log "the window did not move or change size"
    exit 1
fi

# Without a window manager nothing gives the window the keyboard: it is
# given it, and Ctrl+Q goes to the focused window as a typed key does.
xdotool windowfocus --sync "$window" 2>/dev/null
sleep 0.3
xdotool key ctrl+q || exit 1
wait_end || { e2e_log "Ctrl+Q did not end the program cleanly"; exit 1; }

e2e_start_program "$build/bin/ostrander" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1
sleep 0.5
again=$(geometry "$window") || exit 1
e2e_log "opened again at $again"
if [ "$again" != "$left" ]; then
    e2e_log "the main window came back at $again, not where it was left ($left)"
    exit 1
fi
e2e_finish 20
