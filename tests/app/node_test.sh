#!/usr/bin/env bash
# The browser build's arithmetic against the desktop's: the same game compiled to WebAssembly,
# with SIMD and without as the page's two builds are (build/web/pyrelle_node.js and
# pyrelle_node_scalar.js, which ./test.sh builds), runs in Node.js the golden replays and
# headless games long enough for any difference in a sine to show; every summary line, status
# and picture must be the desktop program's, byte for byte.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$(realpath "$1")
repo="$(cd "$here/../.." && pwd)"
node_games=("$repo/build/web/pyrelle_node.js" "$repo/build/web/pyrelle_node_scalar.js")
for game in "${node_games[@]}"; do
    [ -f "$game" ] || fail "pas de $(basename "$game") dans build/web : cmake --build --preset web"
done
data="$here/../data/replays"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

summary_of() {  # stderr -> the summary line without its duration
    printf '%s\n' "$1" | sed -n '2,$p' | sed -E 's/ en [0-9.]+(s|ms|µs|ns) \|/ en * |/'
}
same_game() {  # what, arguments...
    local what=$1 desktop_err desktop_status
    shift
    capture "$bin" "$@" --shot desktop.png
    desktop_err=$(summary_of "$ERR")
    desktop_status=$STATUS
    for game in "${node_games[@]}"; do
        local build
        build=$(basename "$game" .js)
        capture node "$game" "$@" --shot browser.png
        expect_eq "statut de $what ($build)" "$STATUS" "$desktop_status"
        expect_eq "résumé de $what ($build)" "$(summary_of "$ERR")" "$desktop_err"
        cmp -s desktop.png browser.png || fail "image différente : $what ($build)"
    done
    echo "# $what : $(printf '%s\n' "$desktop_err" | head -n 1)"
}

while IFS='|' read -r name frames _; do
    same_game "relecture $name" --headless "$frames" --replay "$data/$name.rpl"
done <"$data/expected.txt"

same_game "graine 5, 36000 pas" --headless 36000 --seed 5 --auto
same_game "graine 3, profondeur 10" --headless 50000 --seed 3 --depth 10 --light-all \
    --companions 8 --auto
same_game "graine 11, profondeur 7" --headless 30000 --seed 11 --depth 7 --auto
same_game "graine 9, titre" --headless 30000 --idle --seed 9
same_game "graine 42, titre" --headless 0 --idle --seed 42
same_game "graine 42, profondeur 7 immobile" --headless 600 --idle --seed 42 --depth 7
echo "node: ok"
