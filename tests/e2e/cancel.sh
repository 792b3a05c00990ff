#!/usr/bin/env bash
# Loading another mirror while the influence functions of the first are
# being computed: start the program under Xvfb, load the 61-pad mirror, load
# the 37-pad one during its run, confirm the "Cancelled" box with Return, and
# wait for the pictures of the 37-pad mirror. Saves build/e2e/cancel.png.
# Usage: cancel.sh [BUILD_DIR]   (default: build/ beside this repository's top)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd) || exit 1
# shellcheck source=lib.sh
source "$here/lib.sh"

out="$build/e2e"
mkdir -p "$out"

# The surface picture's inner part in the main window at its design size.
surface="250x250+585+$((50 + E2E_MENU))"

e2e_start_xvfb || exit 1
e2e_start_program "$build/bin/ostrander" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1
sleep 0.5
e2e_click "$window" 56 $((68 + E2E_MENU))
setup=$(e2e_wait_window "Mirror Setup" 10) || exit 1
sleep 0.5

# The list is in file-name order: Hex19, Hex37, Hex61S, ...
load_row() {
    e2e_click "$setup" 80 60
    e2e_key "$setup" Home "$@"
    sleep 0.3
    e2e_click "$setup" 256 636
}
load_row Down Down
sleep 1.5
e2e_alive "the run of the 61-pad mirror"
load_row Down
box=$(e2e_wait_window "Ostrander" 10) || { e2e_log "no \"Cancelled\" box"; exit 1; }
sleep 0.3
e2e_key "$box" Return
for ((i = 0; i < 50; i++)); do
    xdotool search --onlyvisible --name '^Ostrander$' >/dev/null 2>&1 || break
    sleep 0.1
done
if xdotool search --onlyvisible --name '^Ostrander$' >/dev/null 2>&1; then
    e2e_log "the box stayed open after Return"
    exit 1
fi
e2e_click "$setup" 256 664

finished=""
for ((i = 0; i < 60; i++)); do
    sleep 0.5
    e2e_alive "the run of the 37-pad mirror"
    import -window "$window" "png:$out/cancel.png" 2>/dev/null || continue
    s=$(e2e_spread "$out/cancel.png" "$surface") || continue
    if awk -v s="$s" 'BEGIN { exit !(s >= 0.01) }'; then
        finished=yes
        break
    fi
done
if [ -z "$finished" ]; then
    e2e_log "no pictures within 30 s of the cancel"
    exit 1
fi
# A second box would mean a key held down or a run that failed.
if xdotool search --onlyvisible --name '^Ostrander$' >/dev/null 2>&1; then
    e2e_log "an unexpected message box is open"
    exit 1
fi
e2e_log "screenshot $out/cancel.png"
e2e_finish 20
