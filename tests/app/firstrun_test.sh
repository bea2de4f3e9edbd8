#!/usr/bin/env bash
# The first run as a new user meets it: run.sh starts the game in the caller's directory (a
# relative --shot lands there), a broken build shows its error, and a user without root and
# without sudo is told which packages to install and how.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$1
repo="$(cd "$here/../.." && pwd)"
preset="$(basename "$(dirname "$bin")")"  # the build the tests run: nothing to compile again
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/caller"
cd "$work/caller"
capture env PYRELLE_PRESET="$preset" "$repo/run.sh" --headless 10 --seed 2 --shot rel.png
expect_eq "statut de run.sh ($ERR)" "$STATUS" 0
[ -s "$work/caller/rel.png" ] || fail "l'image n'est pas dans le dossier de l'appelant"
[ ! -e "$repo/rel.png" ] || fail "l'image est dans le dépôt"
capture env PYRELLE_PRESET="$preset" "$repo/run.sh" --help
[[ "$OUT" == "pyrelle [--seed N]"* ]] || fail "la sortie standard n'est pas l'usage seul : $OUT"

# A copy of the project that does not compile (every source file, so that the first compile
# fails at once): run.sh shows the compiler's error.
mkdir "$work/broken"
(cd "$repo" && git ls-files -z | xargs -0 cp --parents -t "$work/broken")
for source in $(cd "$work/broken" && find src -name '*.cpp'); do
    printf '#error "cassé exprès pour le test"\n' | cat - "$repo/$source" >"$work/broken/$source"
done
capture env PYRELLE_PRESET=debug "$work/broken/run.sh" --help
[ "$STATUS" != 0 ] || fail "un échec de compilation donne le statut 0"
[[ "$ERR" == *"compilation de pyrelle (debug)"* ]] || fail "pas de ligne de progression : $ERR"
[[ "$ERR" == *'cassé exprès pour le test'* ]] || fail "l'erreur du compilateur n'est pas montrée : $ERR"
expect_eq "stdout d'un échec" "$OUT" ""

# Not root and no sudo: one line naming what is missing and how to install it.
chmod -R a+rX "$work"
capture setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env PATH=/usr/sbin:/usr/bin:/sbin:/bin PYRELLE_EXTRA_PACKAGES=pyrelle-paquet-absent \
    bash "$work/broken/scripts/setup.sh"
expect_eq "statut sans sudo" "$STATUS" 1
expect_eq "message sans sudo" "$ERR" \
    "paquets manquants : pyrelle-paquet-absent ; installez-les en root : apt-get install pyrelle-paquet-absent"
echo "firstrun: ok"
