#!/usr/bin/env bash
# Starts the real program under Xvfb, finds its main window by the caption,
# saves a screenshot and closes it; fails unless the program ends cleanly.
# Usage: smoke.sh [BUILD_DIR]   (default: build/ beside this repository's top)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd) || exit 1
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_start_xvfb || exit 1
e2e_start_program "$build/bin/ostrander" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1
sleep 1 # let it paint before the screenshot

# The application identifies itself as Ostrander (the window class).
class=$(xprop -id "$window" WM_CLASS 2>/dev/null || true)
case "$class" in
*'"Ostrander"'*) ;;
*) e2e_log "unexpected window class: $class"; exit 1 ;;
esac

e2e_screenshot "$build/e2e/smoke.png" || exit 1

e2e_finish 20
