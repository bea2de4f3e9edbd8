#!/usr/bin/env bash
# Golden pictures: headless runs with fixed seeds whose summary line (without its duration)
# and screenshot are stored below as the reference. The pictures were checked against
# independent readings of the rules when they were stored, so a difference means that the
# look or the simulation of the game changed. Every build type must give these same bytes:
# Release, Debug and the sanitizer build of the tests.
#
# A change meant to alter pictures updates this table in the same commit and says why in its
# message. PYRELLE_GOLDEN_PRINT=1 prints the table as the binary draws it today.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin" "$work/pyrelle"
# The best run beside the records: seed 2 from the title to the Source under the autopilot,
# which the rows with --ghost race.
cp "$(dirname "$0")/../data/replays/auto-victory.rpl" "$work/pyrelle-meilleur.rpl"
cd "$work"

# name; arguments; summary line; SHA-256 of the PNG
golden=$(cat <<'TABLE'
title;--seed 7 --headless 120 --idle;120 frames en * | profondeur 1 | énergie 1.00 | lanternes 0/3 | pos (362.76, 136.15);12f102178a0220567e8e6b941352f4ca24672748e8e4e376e787aa7426a223d2
grotte;--seed 11 --headless 400;400 frames en * | profondeur 1 | énergie 0.90 | lanternes 0/3 | pos (66.52, 163.07);b8fe3d2d599878d589c737a02910fa112ed35c906b2edfaae85b832b7824d30a
cristaux;--seed 4 --depth 5 --headless 400;400 frames en * | profondeur 5 | énergie 0.67 | lanternes 0/6 | pos (123.00, 331.00);40d99dbc36a0fe42702e93971790219231a299532dce3a4d025c1e40aec73d36
lac;--seed 4 --depth 8 --headless 400;400 frames en * | profondeur 8 | énergie 0.59 | lanternes 0/6 | pos (843.98, 19.00);3964653a22c6da3601788c29ecab3aa5f46e054f52b27e134bf0f0c99d42bd97
source;--seed 4 --depth 10 --headless 400;400 frames en * | profondeur 10 | énergie 0.51 | lanternes 0/6 | pos (684.08, 364.16);ae014909fd70892c655e3010304fc7c2b27ab406555f385aa8550d175323f910
night;--seed 5 --night --depth 3 --headless 400;400 frames en * | profondeur 3 | énergie 0.79 | lanternes 0/5 | pos (524.08, 284.16);400ad8d771bd648583efda4d29179a1b66a32b9002b6ffba3cf26fe0fdc278a8
water;--seed 9 --depth 7 --warp-water --headless 200 --idle;200 frames en * | profondeur 7 | énergie 0.79 | lanternes 0/6 | pos (556.00, 68.00);b582164232c1ab7bb81083406527211761d88141d40f3d02ff5e7043dc5e6488
moths;--seed 2 --depth 6 --moths-near --headless 150 --idle;150 frames en * | profondeur 6 | énergie 0.68 | lanternes 0/6 | pos (108.00, 404.00);d457f19cacfa8f3f98553c9b05819db986c257ddad76433f7bf226bbf10f3f76
lost;--seed 6 --depth 4 --warp-lost --headless 240 --idle;240 frames en * | profondeur 4 | énergie 0.82 | lanternes 0/6 | pos (156.00, 116.00);2bb7b2943efdd4a692d6861ede32bbdda6271f829cc806d3137cf4140d33e113
companions;--seed 8 --depth 2 --companions 3 --light-all --headless 200;200 frames en * | profondeur 2 | énergie 0.83 | lanternes 4/4 | pos (323.00, 194.76);07b80e9699d06057a3e09ad9447b2022202be90b5ef7f57ae5a67acc6bfe862e
descent;--seed 3 --depth 3 --warp-exit --light-all --auto --headless 250;250 frames en * | profondeur 3 | énergie 0.86 | lanternes 5/5 | pos (587.34, 370.60);e851f1f9bb85ec9d8ed7999d41e9024c07a58070603594cae3720d4b69478a79
end;--seed 3 --depth 10 --warp-exit --light-all --auto --headless 800;800 frames en * | profondeur 10 | énergie 0.94 | lanternes 6/6 | pos (995.55, 607.25);81f6c06bdc9425278d1b4216c9b9514b4e2761a2594d66d63a0ce79b184f64ae
full;--seed 5 --auto --headless 45000;45000 frames en * | profondeur 10 | énergie 0.90 | lanternes 6/6 | pos (982.02, 524.78);dd8b4d2a22169731172fb2c9c858a49fc2d03b19ab7417fdf7842494ac77bbbc
ghost;--seed 2 --ghost --headless 200;200 frames en * | profondeur 1 | énergie 0.91 | lanternes 0/3 | pos (164.06, 75.00);51afc389b08aa3abbf8a9d3daf8d1d36d98df07884770104fba4709a65914e72
ghost-edge;--seed 2 --ghost --headless 900;900 frames en * | profondeur 1 | énergie 0.69 | lanternes 0/3 | pos (244.65, 141.00);000bdd678d08e9bb11ebdc5e24b3a30c70bceb4fdabf47b82fb099cdf064a41d
ghost-split;--seed 2 --auto --ghost --headless 1620;1620 frames en * | profondeur 1 | énergie 0.98 | lanternes 3/3 | pos (461.87, 285.69);99fc5df0e1c78d616d77573ca163615d11904c7a037741c2cc899cd1122c845c
ghost-end;--seed 2 --auto --ghost --headless 33100;33100 frames en * | profondeur 10 | énergie 0.80 | lanternes 6/6 | pos (25.81, 360.88);39597b72691ddb9b6ef8dab0676ba22cb02b193b745baf104452a854b35e9886
TABLE
)

summary_of() {  # the summary line with its duration replaced by *
    sed -n 2p "$1" | sed -E 's/ en [0-9]+\.[0-9]{2}(s|ms|µs|ns) \|/ en * |/'
}

failures=0
while IFS=';' read -r name args summary hash; do
    # shellcheck disable=SC2086
    ./pyrelle $args --shot "$name.png" 2>"$name.err" || fail "$name : statut $?"
    got_summary=$(summary_of "$name.err")
    got_hash=$(sha256sum "$name.png" | cut -d' ' -f1)
    if [ -n "${PYRELLE_GOLDEN_PRINT:-}" ]; then
        printf '%s;%s;%s;%s\n' "$name" "$args" "$got_summary" "$got_hash"
        continue
    fi
    if [ "$got_summary" != "$summary" ]; then
        echo "ÉCHEC : $name ($args) : résumé «$got_summary», attendu «$summary»" >&2
        failures=$((failures + 1))
    fi
    if [ "$got_hash" != "$hash" ]; then
        echo "ÉCHEC : $name ($args) : image $got_hash, attendue $hash" >&2
        failures=$((failures + 1))
    fi
done <<<"$golden"
[ "$failures" -eq 0 ] || fail "$failures différences avec les images de référence"

# The ghost is drawn and never played: the same runs without it end on the same summary line,
# and only its picture differs. So do runs of the golden replays' games (a day run from the
# title in other caves, a night run, the best run itself).
while IFS=';' read -r name args summary hash; do
    case "$name" in ghost*) ;; *) continue ;; esac
    # shellcheck disable=SC2086
    ./pyrelle ${args/--ghost /} --shot "$name-off.png" 2>"$name-off.err" || fail "$name sans fantôme : statut $?"
    [ "$(summary_of "$name-off.err")" = "$summary" ] || fail "$name : le fantôme change le résumé"
    cmp -s "$name.png" "$name-off.png" && fail "$name : le fantôme n'est pas dessiné"
done <<<"$golden"
for args in "--auto --seed 3 --headless 2400" "--night --auto --seed 11 --headless 3000" \
            "--auto --seed 2 --headless 32700"; do
    # shellcheck disable=SC2086
    ./pyrelle $args --shot plain.png 2>plain.err && ./pyrelle $args --ghost --shot raced.png 2>raced.err ||
        fail "$args : statut $?"
    [ "$(summary_of plain.err)" = "$(summary_of raced.err)" ] || fail "$args : le fantôme change le résumé"
done
# A best run that cannot be raced (damaged, here) gives no ghost, and no trouble.
printf 'PYRL damaged' >pyrelle-meilleur.rpl
./pyrelle --seed 2 --ghost --headless 200 --shot damaged.png 2>damaged.err || fail "meilleure partie abîmée : statut $?"
cmp -s damaged.png ghost-off.png || fail "meilleure partie abîmée : l'image n'est pas celle d'une partie sans fantôme"
[ "$(summary_of damaged.err)" = "$(summary_of ghost-off.err)" ] || fail "meilleure partie abîmée : résumé"
echo "golden: ok"
