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

# A close request ends the run with status 0 and nothing on standard error.
"$work/pyrelle" 2>"$work/err1" &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre «Pyrelle»"
geometry=$(xwininfo -id "$win")
grep -q 'Width: 1280' <<<"$geometry" || fail "largeur : $geometry"
grep -q 'Height: 720' <<<"$geometry" || fail "hauteur : $geometry"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "le jeu s'est arrêté tout seul"
"$tools/wm_close" "$win"
wait_exit "$pid" 15 || fail "la demande de fermeture est ignorée"
wait "$pid" && status=0 || status=$?
expect_eq "statut après fermeture" "$status" 0
expect_eq "stderr après fermeture" "$(cat "$work/err1")" ""

# Escape on the first screen quits with status 0.
"$work/pyrelle" 2>"$work/err2" &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre «Pyrelle»"
sleep 0.5
press "$win" Escape
wait_exit "$pid" 15 || fail "Échap ne quitte pas"
wait "$pid" && status=0 || status=$?
expect_eq "statut après Échap" "$status" 0
expect_eq "stderr après Échap" "$(cat "$work/err2")" ""
# Without a usable sound device: one notice, and the game runs silent until closed.
printf 'pcm.nothing { type null }\n' >"$work/no-default.conf"
ALSA_CONFIG_PATH="$work/no-default.conf" "$work/pyrelle" 2>"$work/err3" &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre sans son"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "le jeu sans son s'est arrêté"
"$tools/wm_close" "$win"
wait_exit "$pid" 15 || fail "la fermeture sans son est ignorée"
wait "$pid" && status=0 || status=$?
expect_eq "statut sans son" "$status" 0
expect_eq "stderr sans son" "$(cat "$work/err3")" "son désactivé : aucune sortie audio"
rm -rf "$work"
echo "desktop: ok"
