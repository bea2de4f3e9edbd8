#!/usr/bin/env bash
# A player at the real window: Space starts a run and the first run writes the records file
# beside the binary; Escape pauses and the picture stands still; a typed m switches the sound
# off and on, each time with its notice; Return resumes; W flies up, and so does Z on an
# AZERTY keyboard (the key at W's place); the arrows fly; Escape returns to the title and
# quits. Every check waits for what it looks for, with a deadline, never for a fixed time.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
tools=$2
export ASAN_OPTIONS=detect_leaks=0  # allocations the windowing libraries keep until exit
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa_null.conf"
work=$(mktemp -d)
cp "$bin" "$work/pyrelle"
start_xvfb

shows() { [ "$(shot "$1")" = "$2" ]; }
records_are() { [ "$(cat "$work/pyrelle.sav" 2>/dev/null)" = "$1" ]; }

# The firefly's row on screen, in picture pixels (empty when it cannot be seen).
firefly_y() { "$tools/firefly_at" "$1" | cut -d' ' -f2; }

# Waits until the firefly keeps its row (within its one-pixel bob) for half a second, so that
# the camera has caught up with it, and prints that row.
at_rest() {
    local a b deadline=$((SECONDS + 30))
    a=$(firefly_y "$1")
    while [ "$SECONDS" -lt "$deadline" ]; do
        sleep 0.5
        b=$(firefly_y "$1")
        if [ -n "$a" ] && [ -n "$b" ] && [ $((a - b)) -le 1 ] && [ $((b - a)) -le 1 ]; then
            echo "$b"
            return 0
        fi
        a=$b
    done
    return 1
}

# Holds key $2 until the firefly has moved $3 rows on screen (negative: up) from where it
# rested; the camera trails a moving firefly, so a flight shows as a move on screen. A key
# lost on its way through the X server is pressed again, up to three times.
flies() {  # window key rows
    local from y attempt deadline
    from=$(at_rest "$1") || fail "la luciole ne se pose pas"
    for attempt in 1 2 3; do
        xdotool windowfocus --sync "$1" 2>/dev/null || true
        xdotool keydown "$2"
        deadline=$((SECONDS + 5))
        while [ "$SECONDS" -lt "$deadline" ]; do
            y=$(firefly_y "$1")
            [ -z "${PLAY_TRACE:-}" ] || echo "$2 $attempt $SECONDS ${y:-?}" >&2
            if [ -n "$y" ] && { { [ "$3" -lt 0 ] && [ "$y" -le $((from + $3)) ]; } ||
                { [ "$3" -gt 0 ] && [ "$y" -ge $((from + $3)) ]; }; }; then
                xdotool keyup "$2"
                return 0
            fi
            sleep 0.05
        done
        xdotool keyup "$2"
    done
    xwd -silent -id "$1" >"${TMPDIR:-/tmp}/pyrelle-play-$2.xwd" || true
    fail "la touche $2 ne fait pas voler la luciole (ligne $from, puis ${y:-?}; image dans ${TMPDIR:-/tmp}/pyrelle-play-$2.xwd)"
}

"$work/pyrelle" --seed 4 2>"$work/err" &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre"
changed_from "$win" "$(shot "$win")" >/dev/null || fail "le titre ne s'anime pas"

# Space starts the run; entering depth 1 is a record at once.
press "$win" space
wait_until 30 records_are "best_depth=1" ||
    fail "records après le départ : $(cat "$work/pyrelle.sav" 2>/dev/null)"

# Paused, the picture stands still.
press "$win" Escape
paused=$(still "$win") || fail "la pause ne fige pas l'image"

# A typed m: "Son coupé" over the pause, gone 1.5 s later; typed again: "Son rétabli".
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool type m
muted=$(changed_from "$win" "$paused") || fail "m ne montre rien"
wait_until 30 shows "$win" "$paused" || fail "l'avis «Son coupé» reste affiché"
xdotool type m
unmuted=$(changed_from "$win" "$paused") || fail "le second m ne montre rien"
[ "$unmuted" != "$muted" ] || fail "les deux avis du son sont identiques"
wait_until 30 shows "$win" "$paused" || fail "l'avis «Son rétabli» reste affiché"

# Return resumes; W flies up, the Down arrow down, Z on an AZERTY keyboard up again.
press "$win" Return
changed_from "$win" "$paused" >/dev/null || fail "Entrée ne reprend pas la partie"
flies "$win" w -8
flies "$win" Down 8
setxkbmap -layout fr
flies "$win" z -8
setxkbmap -layout us

# Escape pauses, Escape in the pause goes back to the title, and Escape on the title quits.
press "$win" Escape
paused=$(still "$win") || fail "la pause ne fige pas l'image"
press "$win" Escape
changed_from "$win" "$paused" >/dev/null || fail "Échap ne quitte pas la pause"
kill -0 "$pid" 2>/dev/null || fail "le jeu a quitté depuis la pause"
press "$win" Escape
wait_exit "$pid" 30 || fail "Échap sur le titre ne quitte pas"
wait "$pid" && status=0 || status=$?
expect_eq "statut" "$status" 0
expect_eq "stderr" "$(cat "$work/err")" ""
expect_eq "records" "$(cat "$work/pyrelle.sav")" "best_depth=1"
rm -rf "$work"
echo "play: ok"
