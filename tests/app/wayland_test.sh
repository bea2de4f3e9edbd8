#!/usr/bin/env bash
# The real binary on a Wayland desktop scaled 2 times: weston, nested in a virtual X server,
# shows its output in an X window that can be read back. Where WAYLAND_DISPLAY names a
# compositor the game talks to it rather than to the X server beside it, and each picture pixel
# is a square of 2 x 4 = 8 device pixels: in a 1280 x 720 window, and centred on a whole screen
# that is no multiple of the picture. Without a compositor behind WAYLAND_DISPLAY the game falls
# back to X11.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
tools=$2
export ASAN_OPTIONS=detect_leaks=0  # allocations the windowing libraries keep until exit
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa_null.conf"
command -v weston >/dev/null || fail "weston manque (scripts/setup.sh --tests l'installe)"
work=$(mktemp -d)
cp "$bin" "$work/pyrelle"
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
# Window decorations would move the picture by their height: the game's window is drawn alone.
export LIBDECOR_PLUGIN_DIR="$work/no-decorations"
# A black desktop with no panel: what is not the game's window reads as border.
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0

[shell]
background-color=0xff000000
panel-position=none
EOF

start_xvfb 2900x1700
WESTON_PID=""
PID=""
trap 'kill $PID $WESTON_PID $XVFB_PID 2>/dev/null || true' EXIT

# Starts weston with an output of $1 x $2 in desktop units, shown 2 times as large in an X
# window: WESTON_WIN, and the compositor's name in WAYLAND_NAME. Without input devices: weston
# would draw its pointer over the picture wherever the X pointer is. On a loaded machine weston
# now and then fails to set up its X11 back-end and exits at once: it gets three tries.
start_weston() {  # width height
    WAYLAND_NAME="pyrelle-test-$1"
    local try deadline
    for try in 1 2 3; do
        weston --backend=x11-backend.so --socket="$WAYLAND_NAME" --scale=2 --no-input \
            --width="$1" --height="$2" --config="$work/weston.ini" \
            --log="$work/weston-$1-$try.log" >/dev/null 2>&1 &
        WESTON_PID=$!
        deadline=$((SECONDS + 60))
        while kill -0 "$WESTON_PID" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
            # The window has no name xdotool matches, only its class.
            WESTON_WIN=$(xdotool search --class "^Weston Compositor\$" 2>/dev/null | head -n 1 || true)
            [ -n "$WESTON_WIN" ] && [ -S "$XDG_RUNTIME_DIR/$WAYLAND_NAME" ] && return 0
            sleep 0.1
        done
        kill "$WESTON_PID" 2>/dev/null || true
        wait_exit "$WESTON_PID" 15 || fail "weston ne s'arrête pas"
    done
    fail "weston ne démarre pas : $(tail -n 3 "$work/weston-$1-3.log" 2>/dev/null)"
}

stop_weston() {
    kill "$WESTON_PID" 2>/dev/null || true
    wait_exit "$WESTON_PID" 15 || fail "weston ne s'arrête pas"
}

# The picture in weston's window: at (X, Y) of its device pixels, each picture pixel SCALE
# device pixels wide and high, black around; in five looks in a row over two seconds, since the
# first frames, drawn before the window learns the output's scale, are enlarged by weston and
# could pass alone.
view() {  # x y scale
    local good=0 deadline=$((SECONDS + 90))
    while [ "$SECONDS" -lt "$deadline" ]; do
        if "$tools/view_check" "$WESTON_WIN" "$@" >"$work/view"; then
            good=$((good + 1))
            [ "$good" -lt 5 ] || return 0
        else
            good=0
        fi
        sleep 0.4
    done
    fail "image dans weston : $(cat "$work/view") ; stderr : $(cat "$work/err")"
}

# Asks the game to end as a desktop's session would (SIGTERM becomes a quit request) and checks
# that it ends cleanly.
stop_game() {  # what
    kill -TERM "$PID"
    wait_exit "$PID" 15 || fail "$1 : le jeu ne s'arrête pas"
    local status
    wait "$PID" && status=0 || status=$?
    PID=""
    expect_eq "statut après $1" "$status" 0
    expect_eq "stderr après $1" "$(cat "$work/err")" ""
}

# The window as it opens, 1280 x 720 desktop units, fills an output of that size: 2560 x 1440
# device pixels, 8 for each picture pixel.
start_weston 1280 720
WAYLAND_DISPLAY="$WAYLAND_NAME" "$work/pyrelle" 2>"$work/err" &
PID=$!
view 0 0 8
# It did not open a window on the X server, which it could have reached too.
[ -z "$(xdotool search --name '^Pyrelle$' 2>/dev/null)" ] || fail "le jeu a ouvert une fenêtre X11"
stop_game "la fenêtre sous Wayland"
stop_weston

# On the whole of an output of 1400 x 800 units (2800 x 1600 device pixels) the picture is
# 8 times as large, centred: 120 device pixels on each side, 80 above and below.
start_weston 1400 800
WAYLAND_DISPLAY="$WAYLAND_NAME" "$work/pyrelle" --fullscreen 2>"$work/err" &
PID=$!
view 120 80 8
stop_game "le plein écran sous Wayland"
stop_weston

# Nothing behind WAYLAND_DISPLAY: the game opens its window on the X server instead.
WAYLAND_DISPLAY=pyrelle-nothing-here "$work/pyrelle" 2>"$work/err" &
PID=$!
WIN=$(wait_window Pyrelle) || fail "pas de fenêtre X11 quand Wayland manque ; stderr : $(cat "$work/err")"
wait_until 60 bash -c '"$0" "$@" >"'"$work/view"'"' "$tools/view_check" "$WIN" 0 0 4 ||
    fail "image sous X11 : $(cat "$work/view")"
"$tools/wm_close" "$WIN"
wait_exit "$PID" 15 || fail "le jeu sous X11 ne s'arrête pas"
status=0
wait "$PID" || status=$?
PID=""
expect_eq "statut sous X11" "$status" 0
expect_eq "stderr sous X11" "$(cat "$work/err")" ""
rm -rf "$work"
echo "wayland: ok"
