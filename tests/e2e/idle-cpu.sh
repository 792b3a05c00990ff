#!/usr/bin/env bash
# How much of a core the program uses while nothing changes: start it under
# Xvfb on the 61-pad mirror (named on the command line), wait until the
# influence functions are done, raise the centre actuator so that all five
# pictures show something, wait until they are drawn, then measure
# the CPU time it takes over SECONDS (default 10). Prints the figure; it is a
# measurement, not a check, and is not part of the test suite.
# Usage: idle-cpu.sh [BUILD_DIR] [SECONDS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd) || exit 1
seconds=${2:-10}
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_start_xvfb || exit 1
e2e_start_program "$build/bin/ostrander" "$here/../../Devices/Hex61S.ini" || exit 1
window=$(e2e_wait_window "Varnex" 30) || exit 1

e2e_wait_pictures "$window" run || exit 1
# The centre actuator of the map, raised by five steps.
for ((i = 0; i < 5; i++)); do
    e2e_click "$window" 395 $((618 + E2E_MENU)) 1
    sleep 0.2
done
e2e_wait_pictures "$window" all || exit 1
# Let the last pass and the repaints settle.
sleep 2

hz=$(getconf CLK_TCK)
before=$(e2e_cpu_ticks "$E2E_PID")
sleep "$seconds"
after=$(e2e_cpu_ticks "$E2E_PID")
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "idle CPU with the 61-pad mirror loaded: %.2f %% of a core over %d s (%d ticks)\n", 100 * t / hz / s, s, t }'

e2e_close_program 20
