#!/usr/bin/env bash
# A player at the real window: Enter starts a run, the arrow keys fly, Escape pauses,
# returns to the title and quits; the first run writes the records file beside the binary.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
export ASAN_OPTIONS=detect_leaks=0  # allocations the windowing libraries keep until exit
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa_null.conf"
work=$(mktemp -d)
cp "$bin" "$work/pyrelle"
start_xvfb

shot() {  # window -> checksum of its picture
    xwd -silent -id "$1" | md5sum | cut -d' ' -f1
}

"$work/pyrelle" --seed 4 2>"$work/err" &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre"
sleep 0.5
press "$win" Return
sleep 0.3
[ "$(cat "$work/pyrelle.sav" 2>/dev/null)" = "best_depth=1" ] || fail "records après le départ : $(cat "$work/pyrelle.sav" 2>/dev/null)"

# Paused, the picture stands still.
press "$win" Escape
sleep 0.3
paused=$(shot "$win")
sleep 0.5
expect_eq "image en pause" "$(shot "$win")" "$paused"

# Resumed with an arrow held, the firefly flies and the picture changes.
press "$win" Return
press "$win" Right 0.8
press "$win" Escape
sleep 0.3
[ "$(shot "$win")" != "$paused" ] || fail "la flèche ne fait rien"

# Escape in the pause goes back to the title, and Escape on the title quits.
press "$win" Escape
sleep 0.3
kill -0 "$pid" 2>/dev/null || fail "le jeu a quitté depuis la pause"
press "$win" Escape
wait_exit "$pid" 5 || fail "Échap sur le titre ne quitte pas"
wait "$pid" && status=0 || status=$?
expect_eq "statut" "$status" 0
expect_eq "stderr" "$(cat "$work/err")" ""
expect_eq "records" "$(cat "$work/pyrelle.sav")" "best_depth=1"
rm -rf "$work"
echo "play: ok"
