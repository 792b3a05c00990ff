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

alive() {
    if ! kill -0 "$E2E_PID" 2>/dev/null; then
        e2e_log "the program ended during: $1"
        exit 1
    fi
}

# Standard deviation (0..1) of the grey levels in a region of a PNG.
spread() {
    local file=$1 geometry=$2
    convert "$file" -crop "$geometry" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# The five pictures in the main window at its design size, as WxH+X+Y of
# their inner parts (captions and frames left out).
declare -A pictures=(
    [3d]="250x250+257+$((50 + E2E_MENU))"
    [surface]="250x250+585+$((50 + E2E_MENU))"
    [interferogram]="250x250+913+$((50 + E2E_MENU))"
    [farfield]="250x250+570+$((420 + E2E_MENU))"
    [farfieldplot]="250x250+915+$((420 + E2E_MENU))"
)

empty_pictures() {
    local file=$1 name s empty=""
    for name in "${!pictures[@]}"; do
        s=$(spread "$file" "${pictures[$name]}") || return 2
        if awk -v s="$s" 'BEGIN { exit !(s < 0.01) }'; then
            empty="$empty $name"
        fi
    done
    echo "$empty"
}

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
alive "opening the setup window"
# The list is in file-name order: Hex19, Hex37, Hex61S, ... Pick the third
# row with the keyboard, then press "Load" (above "Close" at the bottom).
e2e_click "$setup" 80 60
e2e_key "$setup" Home Down Down
sleep 0.3
e2e_click "$setup" 256 636
loaded=$(date +%s%N)
alive "loading the mirror"
sleep 0.5
# "Close" hides the setup window, which lies over the main window here.
e2e_click "$setup" 256 664

# The run takes one 100 ms tick per actuator; the pictures fill when it ends.
finished=""
for ((i = 0; i < 120; i++)); do
    sleep 0.5
    alive "the influence-function run"
    import -window "$window" "png:$out/progress.png" 2>/dev/null || continue
    if [ -z "$(empty_pictures "$out/progress.png")" ]; then
        finished=yes
        break
    fi
done
rm -f "$out/progress.png"
if [ -z "$finished" ]; then
    e2e_log "the pictures did not fill within 60 s of the load"
fi
e2e_log "load to all five pictures drawn: $((($(date +%s%N) - loaded) / 1000000)) ms"
rss=$(awk '/^VmRSS/ { print $2, $3 }' "/proc/$E2E_PID/status")
e2e_log "resident memory with the 61-pad mirror loaded: $rss"

# The centre actuator of the map (the lower-left panel, below its control panel).
e2e_click "$window" 395 $((618 + E2E_MENU)) 1
sleep 1
alive "the click on the map"
import -window "$window" "png:$out/program.png" || exit 1
e2e_log "screenshot $out/program.png"

empty=$(empty_pictures "$out/program.png")
if [ -n "$empty" ]; then
    e2e_log "pictures left empty:$empty"
    exit 1
fi

e2e_close_program 20
status=$?
if [ $status -ne 0 ]; then
    e2e_log "the program ended with status $status"
    exit 1
fi
e2e_log "passed"
