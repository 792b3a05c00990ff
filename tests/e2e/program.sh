#!/usr/bin/env bash
# The whole program as a user drives it: start it under Xvfb, press
# "Load Mirror", load the 61-pad mirror in the setup window, wait for the
# influence functions, left-click the centre actuator on the map and save a
# screenshot of the main window. Fails if the program ends on its own or a
# picture stays empty. Prints the start-up time and the resident memory.
# Usage: program.sh [BUILD_DIR]   (default: build/ beside this repository's top)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd) || exit 1
# shellcheck source=lib.sh
source "$here/lib.sh"

out="$build/e2e"
mkdir -p "$out"

e2e_start_xvfb || exit 1
start=$(date +%s%N)
e2e_start_program "$build/bin/ostrander" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1
shown=$(date +%s%N)
e2e_log "start-up to the shown main window: $(((shown - start) / 1000000)) ms"
sleep 0.5

# "Load Mirror" at (0, 56) below the menu bar, 113 x 25.
e2e_click "$window" 56 $((68 + E2E_MENU))
setup=$(e2e_wait_window "Mirror Setup" 10) || exit 1
sleep 0.5
e2e_alive "opening the setup window"
# The list is in file-name order: Hex19, Hex37, Hex61S, ... Pick the third
# row with the keyboard, then press "Load" (above "Close" at the bottom).
e2e_click "$setup" 80 60
e2e_key "$setup" Home Down Down
sleep 0.3
e2e_click "$setup" 256 636
loaded=$(date +%s%N)
e2e_alive "loading the mirror"
sleep 0.5
# "Close" hides the setup window, which lies over the main window here.
e2e_click "$setup" 256 664

# The run takes one 100 ms tick per actuator; the far field image is drawn
# when it ends (the surface pictures stay blank at 0 V).
e2e_wait_pictures "$window" run || exit 1
e2e_log "load to the end of the run: $((($(date +%s%N) - loaded) / 1000000)) ms"
rss=$(awk '/^VmRSS/ { print $2, $3 }' "/proc/$E2E_PID/status")
e2e_log "resident memory with the 61-pad mirror loaded: $rss"

# The centre actuator of the map (the lower-left panel, below its control panel).
e2e_click "$window" 395 $((618 + E2E_MENU)) 1
sleep 1
e2e_alive "the click on the map"
import -window "$window" "png:$out/program.png" || exit 1
e2e_log "screenshot $out/program.png"

empty=$(e2e_empty_pictures "$out/program.png")
if [ -n "$empty" ]; then
    e2e_log "pictures left empty:$empty"
    exit 1
fi

e2e_finish 20
