# Helpers for end-to-end checks of the real program under Xvfb.
# Source this file from a bash script; every function reports errors on stderr
# and returns non-zero on failure.
#
#   e2e_start_xvfb                 start Xvfb on a free display, export DISPLAY
#   e2e_stop_xvfb                  stop it (also done on exit)
#   e2e_start_program BIN [ARGS]   start the program on that display; sets E2E_PID
#   e2e_wait_window NAME [SECS]    print the id of the window whose caption is NAME
#   e2e_screenshot FILE            save the whole screen as PNG
#   e2e_click WINDOW X Y [BUTTON]  click at (X, Y) inside a window (1 left, 2 middle, 3 right)
#   e2e_key WINDOW KEYS...         press and release keys (xdotool names: Return, ctrl+s) in a window
#   e2e_spread FILE WxH+X+Y        standard deviation (0..1) of the grey levels in a region
#   e2e_empty_pictures FILE        the names of the main window's pictures left blank in a
#                                  screenshot of it (empty output: all five drawn)
#   e2e_wait_pictures WINDOW run|all
#                                  wait (up to 60 s) until the influence run is done (the
#                                  far field image is drawn; at 0 V the surface pictures stay
#                                  blank) or until all five pictures are drawn
#   e2e_cpu_ticks PID              CPU time the process has used, in clock ticks
#   e2e_close_program [SECS]       ask the program to close its windows, wait for it to
#                                  end; returns its exit status (124 when it hung)
#   e2e_alive WHAT                 end the script with a failure if the program has ended
#                                  (WHAT: what it was doing, for the message)
#   e2e_finish [SECS]              close the program and end the script: passed when the
#                                  program ended with status 0, failed otherwise

E2E_XVFB_PID=""
E2E_PID=""
# The main window's menu bar, in pixels: the design's coordinates of the
# main window's controls start below it.
E2E_MENU=18
E2E_CONFIG_HOME=""

e2e_log() { echo "e2e: $*" >&2; }

e2e_start_xvfb() {
    local fdfile
    fdfile=$(mktemp)
    # -displayfd: Xvfb picks a free display and writes its number once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    trap e2e_cleanup EXIT
    local i
    for ((i = 0; i < 200; i++)); do
        if grep -q '^[0-9][0-9]*$' "$fdfile" 2>/dev/null; then
            export DISPLAY=":$(head -n1 "$fdfile")"
            rm -f "$fdfile"
            # Qt picks the X11 platform; an inherited offscreen setting would hide the window.
            export QT_QPA_PLATFORM=xcb
            # Remembered choices go to a folder of this run's own: every check
            # starts from the defaults and the user's settings stay untouched.
            E2E_CONFIG_HOME=$(mktemp -d)
            export XDG_CONFIG_HOME="$E2E_CONFIG_HOME"
            e2e_log "Xvfb on $DISPLAY"
            return 0
        fi
        if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null; then
            break
        fi
        sleep 0.05
    done
    rm -f "$fdfile"
    e2e_log "Xvfb did not start"
    return 1
}

e2e_stop_xvfb() {
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
        E2E_XVFB_PID=""
    fi
}

e2e_cleanup() {
    if [ -n "$E2E_PID" ] && kill -0 "$E2E_PID" 2>/dev/null; then
        kill -KILL "$E2E_PID" 2>/dev/null
        wait "$E2E_PID" 2>/dev/null
    fi
    e2e_stop_xvfb
    if [ -n "${E2E_CONFIG_HOME:-}" ]; then
        rm -rf "$E2E_CONFIG_HOME"
        E2E_CONFIG_HOME=""
    fi
}

e2e_start_program() {
    local bin=$1
    shift
    if [ ! -x "$bin" ]; then
        e2e_log "no program at $bin"
        return 1
    fi
    "$bin" "$@" &
    E2E_PID=$!
}

e2e_wait_window() {
    local name=$1 secs=${2:-30} id i
    for ((i = 0; i < secs * 10; i++)); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        if [ -n "$E2E_PID" ] && ! kill -0 "$E2E_PID" 2>/dev/null; then
            e2e_log "the program ended before showing \"$name\""
            return 1
        fi
        sleep 0.1
    done
    e2e_log "no window \"$name\" after ${secs}s"
    return 1
}

e2e_screenshot() {
    local file=$1
    mkdir -p "$(dirname "$file")"
    if command -v import >/dev/null 2>&1; then
        import -window root "png:$file" || return 1
    else
        xwd -root -silent | convert xwd:- "png:$file" || return 1
    fi
    [ -s "$file" ] || { e2e_log "empty screenshot $file"; return 1; }
    e2e_log "screenshot $file"
}

e2e_click() {
    local window=$1 x=$2 y=$3 button=${4:-1}
    xdotool mousemove --window "$window" "$x" "$y" click "$button"
}

e2e_key() {
    local window=$1 key
    shift
    # Each key is pressed and released as two events: a key sent in one go
    # to a window can stay down in Xvfb, and its repeat then closes every
    # message box as it opens. The release is also sent to the server itself.
    for key in "$@"; do
        xdotool keydown --window "$window" "$key" || return 1
        xdotool keyup --window "$window" "$key" || return 1
        xdotool keyup "$key" 2>/dev/null
    done
}

e2e_close_program() {
    local secs=${1:-20} i status
    [ -n "$E2E_PID" ] || return 1
    # Without a window manager there is no close button: the program closes its
    # windows, as a click on the close button would, when it is sent SIGTERM.
    kill -TERM "$E2E_PID" 2>/dev/null
    for ((i = 0; i < secs * 10; i++)); do
        if ! kill -0 "$E2E_PID" 2>/dev/null; then
            wait "$E2E_PID"
            status=$?
            E2E_PID=""
            return $status
        fi
        sleep 0.1
    done
    e2e_log "the program did not end within ${secs}s"
    kill -KILL "$E2E_PID" 2>/dev/null
    wait "$E2E_PID" 2>/dev/null
    E2E_PID=""
    return 124
}

e2e_alive() {
    if ! kill -0 "$E2E_PID" 2>/dev/null; then
        e2e_log "the program ended during: $1"
        exit 1
    fi
}

e2e_finish() {
    local status
    e2e_close_program "${1:-20}"
    status=$?
    if [ $status -ne 0 ]; then
        e2e_log "the program ended with status $status"
        exit 1
    fi
    e2e_log "passed"
    exit 0
}

e2e_spread() {
    local file=$1 geometry=$2
    convert "$file" -crop "$geometry" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# The five pictures in the main window at its design size, as WxH+X+Y of
# their inner parts (captions and frames left out).
declare -A E2E_PICTURES=(
    [3d]="250x250+257+$((50 + E2E_MENU))"
    [surface]="250x250+585+$((50 + E2E_MENU))"
    [interferogram]="250x250+913+$((50 + E2E_MENU))"
    [farfield]="250x250+570+$((420 + E2E_MENU))"
    [farfieldplot]="250x250+915+$((420 + E2E_MENU))"
)

e2e_empty_pictures() {
    local file=$1 name s empty=""
    for name in "${!E2E_PICTURES[@]}"; do
        s=$(e2e_spread "$file" "${E2E_PICTURES[$name]}") || return 2
        if awk -v s="$s" 'BEGIN { exit !(s < 0.01) }'; then
            empty="$empty $name"
        fi
    done
    echo "$empty"
}

e2e_cpu_ticks() {
    # utime and stime, fields 14 and 15 of /proc/PID/stat; the command name
    # (field 2, in parentheses) may hold spaces, so count after its ')'.
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

e2e_wait_pictures() {
    local window=$1 what=$2 i blank shot
    shot=$(mktemp --suffix=.png)
    for ((i = 0; i < 120; i++)); do
        sleep 0.5
        if [ -n "$E2E_PID" ] && ! kill -0 "$E2E_PID" 2>/dev/null; then
            e2e_log "the program ended while its pictures were awaited"
            rm -f "$shot"
            return 1
        fi
        import -window "$window" "png:$shot" 2>/dev/null || continue
        blank=" $(e2e_empty_pictures "$shot") "
        if [[ "$what" == all && "$blank" == "  " ]] ||
            [[ "$what" != all && "$blank" != *" farfield "* ]]; then
            rm -f "$shot"
            return 0
        fi
    done
    e2e_log "pictures still blank after 60 s:$blank"
    rm -f "$shot"
    return 1
}
