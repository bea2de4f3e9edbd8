#!/usr/bin/env bash
# Records the golden replays of tests/data/replays/ again, with their expected summary lines.
# Only for a change meant to alter what the game does: say why in the commit that updates them.
# usage: scripts/make-golden-replays.sh [PYRELLE_BINARY]   (default: the Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/release/pyrelle}")
out=tests/data/replays
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# name | frames | options of the recorded game
goldens=(
    "depth1-cleared|2400|--auto --seed 3"
    "death-rebuild|1500|--depth 7 --idle --seed 5"
    "night-run|3000|--night --auto --seed 11"
    "descent|700|--depth 9 --warp-exit --light-all --auto --seed 2"
    "keys-steer|1200|--depth 2 --seed 4"
    "title-demo|6000|--idle --seed 9"
    "auto-victory|32700|--auto --seed 2"
)
: >"$out/expected.txt"
for golden in "${goldens[@]}"; do
    IFS='|' read -r name frames options <<<"$golden"
    # shellcheck disable=SC2086
    (cd "$work" && "$bin" --headless "$frames" $options --record "$name.rpl" 2>"$name.err")
    cp "$work/$name.rpl" "$out/$name.rpl"
    summary=$(sed -n 2p "$work/$name.err" | sed -E 's/ en [0-9.]+(s|ms|µs|ns) \|/ en * |/')
    echo "$name|$frames|$summary" >>"$out/expected.txt"
done
cat "$out/expected.txt"
