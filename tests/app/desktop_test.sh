#!/usr/bin/env bash
# The real binary in a window under a virtual X server: size and title, a key, a close
# request as a window manager sends it, and the failure without any display.
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
    WIN=$(wait_window Pyrelle) || fail "aucune fenêtre «Pyrelle»"
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
rm -rf "$work"
echo "desktop: ok"
