#!/usr/bin/env bash
# Replays with the real binary: the golden replays of tests/data/replays/ arrive where they
# were recorded, with the summary line of the recorded run (any change in generation,
# simulation or game flow shows here first); a replay that ends elsewhere says so with status
# 1; damaged files are refused with status 2 before anything opens; a window game closed in
# the middle of a run leaves a replay that plays back to the same end.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$1
tools=$2
data="$here/../data/replays"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

summary_of() {  # stderr -> the summary line without its duration
    printf '%s\n' "$1" | sed -n 2p | sed -E 's/ en [0-9.]+(s|ms|µs|ns) \|/ en * |/'
}

while IFS='|' read -r name frames want; do
    capture "$bin" --headless "$frames" --replay "$data/$name.rpl" --shot "$name.png"
    expect_eq "statut de $name" "$STATUS" 0
    expect_eq "résumé de $name" "$(summary_of "$ERR")" "$want"
    expect_eq "lignes de $name" "$(printf '%s\n' "$ERR" | wc -l)" 2
done <"$data/expected.txt"

# Asked for more steps than the replay holds: the summary counts the steps that ran.
capture "$bin" --headless 1000000 --replay "$data/descent.rpl" --shot /dev/null
[[ "$(summary_of "$ERR")" == "700 frames en * | profondeur 10 |"* ]] || fail "pas comptés : $ERR"

# The same file with another fingerprint at the end: one line, status 1, after the summary.
cp "$data/depth1-cleared.rpl" other-end.rpl
size=$(stat -c %s other-end.rpl)
printf '\x5a' | dd of=other-end.rpl bs=1 seek=$((size - 1)) conv=notrunc 2>/dev/null
capture "$bin" --headless 2400 --replay other-end.rpl
expect_eq "statut d'une fin différente" "$STATUS" 1
expect_eq "lignes d'une fin différente" "$(printf '%s\n' "$ERR" | wc -l)" 3
[[ "$(printf '%s\n' "$ERR" | sed -n 3p)" == "la relecture ne finit pas comme la partie enregistrée : état différent (partie, profondeur 2, 2400 pas)" ]] ||
    fail "message d'une fin différente : $ERR"

# Damaged files: one line, status 2, nothing written, before any window opens.
head -c 30 "$data/night-run.rpl" >truncated.rpl
head -c 3000 /dev/urandom >random.rpl
mkdir folder.rpl
check_refused() {  # file, reason
    capture env -u DISPLAY "$bin" --replay "$1" --headless 10 --shot refused.png
    expect_eq "statut de $1" "$STATUS" 2
    expect_eq "message de $1" "$ERR" "relecture illisible ($1) : $2"
    [ ! -e refused.png ] || fail "une image pour $1"
}
check_refused truncated.rpl "fichier tronqué"
check_refused random.rpl "pas un fichier de relecture"
check_refused folder.rpl "pas un fichier ordinaire"
check_refused absent.rpl "No such file or directory"

# A window game recorded with --record and closed in the middle of a run replays to its end.
export ASAN_OPTIONS=detect_leaks=0  # allocations the windowing libraries keep until exit
export ALSA_CONFIG_PATH="$here/alsa_null.conf"
start_xvfb
"$bin" --seed 8 --record window.rpl 2>window.err &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre ; stderr : $(cat window.err)"
press "$win" Return
press "$win" Right 0.6
press "$win" Down 0.4
"$tools/wm_close" "$win"
wait_exit "$pid" 15 || fail "le jeu ne s'arrête pas"
wait "$pid" && status=0 || status=$?
expect_eq "statut de l'enregistrement" "$status" 0
expect_eq "stderr de l'enregistrement" "$(cat window.err)" ""
capture "$bin" --headless 1000000 --replay window.rpl --shot window.png
expect_eq "statut de la relecture" "$STATUS" 0
[[ "$(summary_of "$ERR")" == *"| profondeur 1 |"* ]] || fail "relecture de la fenêtre : $ERR"

# Watched in the window: Escape ends it at once, with status 0.
"$bin" --replay window.rpl 2>watch.err &
pid=$!
win=$(wait_window Pyrelle) || fail "aucune fenêtre pour la relecture ; stderr : $(cat watch.err)"
press "$win" Escape
wait_exit "$pid" 15 || fail "Échap n'arrête pas la relecture"
wait "$pid" && status=0 || status=$?
expect_eq "statut après Échap" "$status" 0
expect_eq "stderr après Échap" "$(cat watch.err)" ""
echo "replay: ok"
