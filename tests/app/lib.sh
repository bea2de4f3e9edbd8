# Helpers for the tests that run the real binary. Source it; $1 of the test is the binary.
set -u

fail() {
    echo "ÉCHEC : $*" >&2
    exit 1
}

# Runs a command, keeping its stdout, stderr and status in OUT, ERR and STATUS.
capture() {
    local out_file err_file
    out_file=$(mktemp)
    err_file=$(mktemp)
    set +e
    "$@" >"$out_file" 2>"$err_file"
    STATUS=$?
    set -e
    OUT=$(cat "$out_file")
    ERR=$(cat "$err_file")
    rm -f "$out_file" "$err_file"
}

expect_eq() {  # what, got, want
    [ "$2" = "$3" ] || fail "$1 : obtenu «$2», attendu «$3»"
}

# Starts a virtual X server on a free display and exports DISPLAY; stopped on exit, after
# what the caller's exit trap already does. The server picks the display itself (-displayfd)
# and says which: two tests starting at once can never share one, as they could when each
# looked for a free number first. -noreset: by default the server resets whenever its last
# client leaves, and a game connecting during that reset (just after a polling xdotool left)
# is refused, "x11,wayland not available" — seen on a loaded machine.
start_xvfb() {  # [screen size, default 1600x900]
    local said n="" previous=""
    said=$(mktemp)
    Xvfb -displayfd 3 -noreset -screen 0 "${1:-1600x900}x24" -nolisten tcp 3>"$said" \
        >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 300); do
        n=$(head -n 1 "$said")
        [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$said"
    if [ -n "$n" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
        export DISPLAY=":$n"
        # Run from a Wayland desktop, the game would open its window there rather than here.
        unset WAYLAND_DISPLAY
        eval "previous=$(trap -p EXIT | sed -E 's/^trap -- (.*) EXIT$/\1/')"
        trap "kill \$XVFB_PID 2>/dev/null || true; ${previous:-:}" EXIT
        return 0
    fi
    fail "pas de serveur X virtuel"
}

# Starts a light window manager on the display, as a desktop has one: focus and fullscreen
# behave as they would there. Stopped with the X server.
start_wm() {
    openbox --sm-disable >/dev/null 2>&1 &
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "pas de gestionnaire de fenêtres"
}

# Runs a command until it succeeds, for at most $1 seconds; returns 1 if it never did.
wait_until() {  # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Waits for the window titled $1 and prints its id. A sanitizer build starting on a loaded
# machine can take many seconds to show it, so the deadline is generous. SDL may replace its
# first window while it sets up drawing, so the window must still be the one found a moment
# later.
wait_window() {
    local id again deadline=$((SECONDS + 60))
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1 || true)
        if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
            sleep 0.3
            again=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1 || true)
            if [ "$again" = "$id" ] && xwininfo -id "$id" >/dev/null 2>&1; then
                echo "$id"
                return 0
            fi
        fi
        sleep 0.1
    done
    return 1
}

shot() {  # window -> checksum of its picture
    xwd -silent -id "$1" | md5sum | cut -d' ' -f1
}

# Prints the picture once two shots a moment apart agree: in the game, only a pause stands
# still.
still() {
    local a b deadline=$((SECONDS + 30))
    a=$(shot "$1")
    while [ "$SECONDS" -lt "$deadline" ]; do
        sleep 0.3
        b=$(shot "$1")
        [ "$a" = "$b" ] && { echo "$a"; return 0; }
        a=$b
    done
    return 1
}

# Prints the first picture that differs from $2.
changed_from() {
    local now deadline=$((SECONDS + 30))
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=$(shot "$1")
        [ "$now" != "$2" ] && { echo "$now"; return 0; }
        sleep 0.05
    done
    return 1
}

# Holds a key long enough for the game to see it in a frame, then lets go.
press() {  # window key [seconds]
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool keydown "$2"
    sleep "${3:-0.3}"
    xdotool keyup "$2"
    sleep 0.2
}

# Waits up to $2 seconds for process $1 to end; returns 1 if it is still running.
wait_exit() {
    for _ in $(seq $(( $2 * 10 ))); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
