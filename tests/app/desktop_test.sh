#!/usr/bin/env bash
# The real binary in a window under a virtual X server: size and title, a key, a close
# request as a window manager sends it, and the failure without any display; with a window
# manager: fullscreen (F11, Alt+Enter, --fullscreen) at whole scales, and the pause when the
# focus goes to another window during play.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
tools=$2
# The windowing libraries loaded by SDL (D-Bus, drivers) keep allocations until exit.
export ASAN_OPTIONS=detect_leaks=0
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa_null.conf"
work=$(mktemp -d)
cp "$bin" "$work/pyrelle"

# Without a display: one message, status 1.
capture env -u DISPLAY -u WAYLAND_DISPLAY "$work/pyrelle"
expect_eq "statut sans affichage" "$STATUS" 1
[[ "$ERR" == "erreur : "* ]] || fail "message sans affichage : «$ERR»"
expect_eq "lignes sur stderr" "$(printf '%s\n' "$ERR" | wc -l)" 1

start_xvfb

# Starts the game in the background (stderr to $1), waits for its window: PID, WIN.
launch() {
    "$work/pyrelle" 2>"$1" &
    PID=$!
    WIN=$(wait_window Pyrelle) ||
        fail "aucune fenêtre «Pyrelle» ($(kill -0 "$PID" 2>/dev/null && echo "le jeu tourne" || echo "le jeu s'est arrêté") ; stderr : $(cat "$1"))"
    sleep 0.5
}

# Waits for the game to end after $1 happened, then checks its status and stderr.
expect_clean_exit() {  # what, stderr file, expected stderr
    wait_exit "$PID" 15 || fail "$1 : le jeu ne s'arrête pas"
    local status
    wait "$PID" && status=0 || status=$?
    expect_eq "statut après $1" "$status" 0
    expect_eq "stderr après $1" "$(cat "$2")" "$3"
}

# A close request ends the run with status 0 and nothing on standard error.
launch "$work/err1"
geometry=$(xwininfo -id "$WIN")
grep -q 'Width: 1280' <<<"$geometry" || fail "largeur : $geometry"
grep -q 'Height: 720' <<<"$geometry" || fail "hauteur : $geometry"
kill -0 "$PID" 2>/dev/null || fail "le jeu s'est arrêté tout seul"
"$tools/wm_close" "$WIN"
expect_clean_exit "fermeture" "$work/err1" ""

# Escape on the first screen quits with status 0.
launch "$work/err2"
press "$WIN" Escape
expect_clean_exit "Échap" "$work/err2" ""

# Without a usable sound device: one notice, and the game runs silent until closed.
printf 'pcm.nothing { type null }\n' >"$work/no-default.conf"
export ALSA_CONFIG_PATH="$work/no-default.conf"
launch "$work/err3"
kill -0 "$PID" 2>/dev/null || fail "le jeu sans son s'est arrêté"
"$tools/wm_close" "$WIN"
expect_clean_exit "fermeture sans son" "$work/err3" "son désactivé : aucune sortie audio"
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa_null.conf"

# On a desktop (a window manager; a screen that is no whole multiple of the picture).
kill "$XVFB_PID" 2>/dev/null || true
start_xvfb 1700x1000
start_wm
geometry_of() {  # window -> "W H"
    xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'
}
wait_geometry() {  # window, "W H": the window manager takes a moment
    wait_until 30 bash -c '[ "$(xwininfo -id "$1" | awk '"'"'/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'"'"')" = "$2" ]' _ "$1" "$2" ||
        fail "taille de la fenêtre : $(geometry_of "$1"), attendu $2"
}
view() {  # window x y scale: the game draws at a new size at its next frame
    wait_until 30 bash -c '"$0" "$@" >"'"$work/view"'"' "$tools/view_check" "$@" ||
        fail "image : $(cat "$work/view")"
}
focus() {
    xdotool windowactivate --sync "$1" 2>/dev/null || true
}

# F11 covers the screen with the picture 5 times, centred; again, back to 1280 x 720.
launch "$work/err4"
view "$WIN" 0 0 4
focus "$WIN"
xdotool key F11
wait_geometry "$WIN" "1700 1000"
view "$WIN" 50 50 5
xdotool key F11
wait_geometry "$WIN" "1280 720"
view "$WIN" 0 0 4
# Alt+Enter does the same, and its Enter does not start a run: Escape still quits.
xdotool key alt+Return
wait_geometry "$WIN" "1700 1000"
xdotool key alt+Return
wait_geometry "$WIN" "1280 720"
press "$WIN" Escape
expect_clean_exit "Alt+Entrée puis Échap" "$work/err4" ""

# Another window taking the focus during play pauses the run; coming back does not resume it.
launch "$work/err5"
press "$WIN" Return
sleep 0.5
xmessage -name autre "autre fenêtre" &
other_pid=$!
other=$(wait_window autre) || fail "pas d'autre fenêtre"
focus "$other"
paused=$(still "$WIN") || fail "la perte du focus ne fige pas la partie"
focus "$WIN"
sleep 1  # nothing is to happen: coming back does not resume
expect_eq "image au retour du focus" "$(shot "$WIN")" "$paused"
press "$WIN" Return  # resumes
changed_from "$WIN" "$paused" >/dev/null || fail "Entrée ne reprend pas la partie"
kill "$other_pid" 2>/dev/null || true
"$tools/wm_close" "$WIN"
expect_clean_exit "fermeture après la pause" "$work/err5" ""

# On the title the focus can come and go: the title stays (Escape then quits).
launch "$work/err6"
xmessage -name autre2 "autre fenêtre" &
other_pid=$!
other=$(wait_window autre2) || fail "pas d'autre fenêtre"
focus "$other"
sleep 0.3
kill "$other_pid" 2>/dev/null || true
focus "$WIN"
press "$WIN" Escape
expect_clean_exit "Échap sur le titre après le focus" "$work/err6" ""

# Watching a replay, the focus going elsewhere pauses it (it used to end the program);
# Enter resumes it and Escape ends it.
"$work/pyrelle" --seed 8 --record "$work/watch.rpl" 2>"$work/err8" &
PID=$!
WIN=$(wait_window Pyrelle) || fail "aucune fenêtre pour l'enregistrement"
press "$WIN" Return
press "$WIN" Right 2
sleep 3
"$tools/wm_close" "$WIN"
expect_clean_exit "enregistrement à regarder" "$work/err8" ""
"$work/pyrelle" --replay "$work/watch.rpl" 2>"$work/err9" &
PID=$!
WIN=$(wait_window Pyrelle) || fail "aucune fenêtre pour la relecture"
focus "$WIN"
xmessage -name autre3 "autre fenêtre" &
other_pid=$!
other=$(wait_window autre3) || fail "pas d'autre fenêtre"
focus "$other"
paused=$(still "$WIN") || fail "la perte du focus ne fige pas la relecture"
kill -0 "$PID" 2>/dev/null || fail "la perte du focus a fermé la relecture"
kill "$other_pid" 2>/dev/null || true
press "$WIN" Return
changed_from "$WIN" "$paused" >/dev/null || fail "Entrée ne reprend pas la relecture"
press "$WIN" Escape
expect_clean_exit "Échap pendant la relecture" "$work/err9" ""

# --fullscreen starts on the whole screen.
"$work/pyrelle" --fullscreen 2>"$work/err7" &
PID=$!
WIN=$(wait_window Pyrelle) || fail "aucune fenêtre «Pyrelle» avec --fullscreen"
wait_geometry "$WIN" "1700 1000"
view "$WIN" 50 50 5
"$tools/wm_close" "$WIN"
expect_clean_exit "fermeture en plein écran" "$work/err7" ""
rm -rf "$work"
echo "desktop: ok"
