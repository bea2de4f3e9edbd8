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
# The program runs as a player's shell would start it: the limit's signal is not ignored for it.
capture prlimit --fsize=102400 ./pyrelle --headless 10 --seed 1 --shot full/shot.png
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

# --record follows the same rule as --shot, and a recording that cannot be written stops the
# game before it starts (status 2), not after the whole session has been played.
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null --record absent/run.rpl
expect_eq "statut --record sans dossier" "$STATUS" 2
expect_eq "message --record sans dossier" "$ERR" \
    "relecture non enregistrée (absent/run.rpl) : No such file or directory"
mkdir records && touch records/.tmp
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null --record records/
expect_eq "statut --record dossier" "$STATUS" 2
expect_eq "message --record dossier" "$ERR" "relecture non enregistrée (records/) : Is a directory"
expect_eq "fichiers du dossier" "$(ls -A records)" ".tmp"
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null --record /dev/null
expect_eq "statut --record /dev/null" "$STATUS" 0
[ -c /dev/null ] || fail "/dev/null n'est plus un périphérique"
mkfifo run.fifo
head -c 4 run.fifo >from_fifo &
reader=$!
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null --record run.fifo
wait "$reader"
expect_eq "statut --record tube" "$STATUS" 0
[ -p run.fifo ] || fail "le tube a été remplacé"
expect_eq "début de la relecture par le tube" "$(head -c 3 from_fifo)" "PYR"
printf 'old' >run-target.rpl
ln -s run-target.rpl run-link.rpl
capture ./pyrelle --headless 10 --seed 1 --shot /dev/null --record run-link.rpl
expect_eq "statut --record lien" "$STATUS" 0
[ -L run-link.rpl ] || fail "le lien de la relecture a été remplacé"
capture ./pyrelle --headless 10 --replay run-target.rpl --shot /dev/null
expect_eq "relecture par le lien" "$STATUS" 0
printf 'old' >full/run.rpl
# (a long run: its recording is larger than the limit, its three lines of stderr are not)
capture prlimit --fsize=1024 ./pyrelle --headless 50000 --seed 1 --shot /dev/null --record full/run.rpl
expect_eq "statut --record disque plein" "$STATUS" 1
expect_eq "message --record disque plein" "$(printf '%s\n' "$ERR" | sed -n 3p)" \
    "relecture non enregistrée (full/run.rpl) : File too large"
expect_eq "ancienne relecture" "$(cat full/run.rpl)" "old"
expect_eq "fichiers après l'échec de --record" "$(ls -A full)" "$(printf 'run.rpl\nshot.png')"

# A game in a PID namespace of its own, recording beside a game here: its temporary, its pid
# unknown here and as old as you like, is its own business, and its recording arrives.
if unshare -pf --mount-proc true 2>/dev/null; then
    mkdir shared
    unshare -pf --mount-proc ./pyrelle --headless 1000000 --idle --seed 1 --shot /dev/null \
        --record shared/run.rpl 2>/dev/null &
    foreign=$!
    wait_until 20 bash -c 'ls -A shared | grep -q pyrelle-tmp' || fail "pas de fichier temporaire"
    temporary=$(ls -A shared)
    touch -d '1 hour ago' "shared/$temporary"
    capture ./pyrelle --headless 10 --seed 2 --shot /dev/null --record shared/run.rpl
    expect_eq "statut à côté" "$STATUS" 0
    [ -e "shared/$temporary" ] || fail "le fichier temporaire de l'autre partie a été effacé"
    wait "$foreign" || fail "la partie de l'autre espace de processus a échoué"
    capture ./pyrelle --headless 2000000 --replay shared/run.rpl --shot /dev/null
    [[ "$(printf '%s\n' "$ERR" | sed -n 2p)" == "1000000 frames en "* ]] ||
        fail "relecture de l'autre partie : $(printf "%s" "$ERR" | tr "\n" " ")"
else
    echo "# pas d'espace de processus à part ici (unshare -p) : cas sauté"
fi

# --companions is bounded by what a game can simulate; the largest count runs.
capture ./pyrelle --headless 30 --seed 1 --depth 2 --companions 255 --shot many.png
expect_eq "statut 255 compagnes" "$STATUS" 0
echo "headless: ok"
