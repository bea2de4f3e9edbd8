#!/usr/bin/env bash
# Headless runs of the real binary: summary lines, screenshot, determinism, failures.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin" "$work/pyrelle"
cd "$work"

# The summary without its two durations, which vary from run to run.
summary_of() {
    printf '%s\n' "$1" | sed -n 2p | sed -E 's/ en [0-9]+\.[0-9]{2}(s|ms|µs|ns) \|/ en * |/'
}
png_size() {  # width x height from the IHDR chunk
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    echo "${w}x${h}"
}

# No step at all: the title level of depth 1 as built.
capture ./pyrelle --headless 0 --seed 5
expect_eq "statut" "$STATUS" 0
expect_eq "lignes" "$(printf '%s\n' "$ERR" | wc -l)" 2
[[ "$(printf '%s\n' "$ERR" | sed -n 1p)" =~ ^rendu\ :\ [0-9]+\.[0-9]{2}(s|ms|µs|ns)\ par\ image$ ]] ||
    fail "ligne de rendu : $ERR"
[[ "$(printf '%s\n' "$ERR" | sed -n 2p)" =~ ^0\ frames\ en\ [0-9]+\.[0-9]{2}(s|ms|µs|ns)\ \|\ profondeur\ 1\ \|\ énergie\ 1\.00\ \|\ lanternes\ 0/3\ \|\ pos\ \([0-9]+\.[0-9]{2},\ [0-9]+\.[0-9]{2}\)$ ]] ||
    fail "résumé : $ERR"
expect_eq "stdout" "$OUT" ""
expect_eq "taille de l'image" "$(png_size shot.png)" "960x540"
expect_eq "taille du fichier" "$(stat -c %s shot.png)" 1555923
[ ! -e pyrelle.sav ] || fail "une partie sans fenêtre a écrit les records"

# Same seed and arguments: same summary apart from durations, byte-identical pictures.
capture ./pyrelle --headless 400 --seed 11 --shot a.png
first=$(summary_of "$ERR")
capture ./pyrelle --headless 400 --seed 11 --shot b.png
expect_eq "même résumé" "$(summary_of "$ERR")" "$first"
cmp -s a.png b.png || fail "deux images différentes pour la même graine"
capture ./pyrelle --headless 400 --seed 12 --shot c.png
cmp -s a.png c.png && fail "la graine ne change rien"

# The idle title screen stays at depth 1; the script starts a run that the autopilot flies.
capture ./pyrelle --headless 120 --idle --seed 7
[[ "$(summary_of "$ERR")" == "120 frames en * | profondeur 1 | énergie 1.00 | "* ]] || fail "titre : $ERR"
capture ./pyrelle --headless 300 --auto --seed 7
expect_eq "statut --auto" "$STATUS" 0
[[ "$(summary_of "$ERR")" =~ ^300\ frames\ en\ \*\ \|\ profondeur\ [1-9] ]] || fail "--auto : $ERR"
auto_summary=$(summary_of "$ERR")
# The title flies its own level: a run started at step 1 flies the run's level instead.
capture ./pyrelle --headless 300 --idle --seed 7
[ "$(summary_of "$ERR")" != "$auto_summary" ] ||
    fail "la partie n'a pas commencé : $auto_summary"

# Night is applied before the depth is built, whatever the order of the arguments:
# the night drain is faster, so the energy left differs from a day run.
capture ./pyrelle --headless 600 --idle --seed 3 --night --depth 7
night_a=$(summary_of "$ERR")
capture ./pyrelle --headless 600 --idle --seed 3 --depth 7 --night
expect_eq "ordre des options" "$(summary_of "$ERR")" "$night_a"
capture ./pyrelle --headless 600 --idle --seed 3 --depth 7
[ "$(summary_of "$ERR")" != "$night_a" ] || fail "--night sans effet sur la profondeur 7"
[[ "$night_a" == *"profondeur 7 |"* ]] || fail "profondeur : $night_a"

# An unwritable picture fails after both summary lines.
capture ./pyrelle --headless 10 --seed 1 --shot "$work/absent/shot.png"
expect_eq "statut sans dossier" "$STATUS" 1
expect_eq "lignes sans dossier" "$(printf '%s\n' "$ERR" | wc -l)" 3
[[ "$(printf '%s\n' "$ERR" | sed -n 3p)" == "impossible d'écrire $work/absent/shot.png : "* ]] ||
    fail "message : $ERR"
[ ! -e pyrelle.sav ] || fail "records écrits"

# A picture that cannot be written whole (a full disk: here a file size limit) leaves the
# earlier file as it was and no partial file beside it.
mkdir full && printf 'old' >full/shot.png
capture bash -c 'trap "" XFSZ; ulimit -f 100; exec ./pyrelle --headless 10 --seed 1 --shot full/shot.png'
expect_eq "statut disque plein" "$STATUS" 1
[[ "$(printf '%s\n' "$ERR" | sed -n 3p)" == "impossible d'écrire full/shot.png : "* ]] ||
    fail "message disque plein : $ERR"
expect_eq "ancienne image" "$(cat full/shot.png)" "old"
expect_eq "fichiers après l'échec" "$(ls full)" "shot.png"

# A device is written in place, never replaced; a link leads to the file it names.
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null
expect_eq "statut /dev/null" "$STATUS" 0
[ -c /dev/null ] || fail "/dev/null n'est plus un périphérique"
printf 'old' >target.png
ln -s target.png link.png
capture ./pyrelle --headless 10 --seed 1 --shot link.png
expect_eq "statut lien" "$STATUS" 0
[ -L link.png ] || fail "le lien a été remplacé"
expect_eq "image par le lien" "$(stat -c %s target.png)" 1555923

# --companions is bounded by what a game can simulate; the largest count runs.
capture ./pyrelle --headless 30 --seed 1 --depth 2 --companions 255 --shot many.png
expect_eq "statut 255 compagnes" "$STATUS" 0
echo "headless: ok"
