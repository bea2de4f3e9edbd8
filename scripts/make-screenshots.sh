#!/usr/bin/env bash
# Remakes the README's pictures: headless runs of the Release build with fixed seeds, each
# last picture shrunk losslessly by optipng (the game writes uncompressed PNG).
# usage: scripts/make-screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
PYRELLE_EXTRA_PACKAGES=optipng bash scripts/setup.sh
echo "compilation de pyrelle (release)…" >&2
cmake --preset release >&2
cmake --build --preset release --target pyrelle >&2
out=docs/screenshots
mkdir -p "$out"
shots=(
    "title|--headless 300 --idle --seed 7"
    "cave|--headless 500 --depth 2 --auto --seed 4"
    "lake|--headless 200 --depth 8 --warp-water --seed 7"
    "end|--headless 46000 --auto --seed 5"
)
for shot in "${shots[@]}"; do
    IFS='|' read -r name options <<<"$shot"
    # shellcheck disable=SC2086
    ./build/release/pyrelle $options --shot "$out/$name.png" 2>/dev/null
    optipng -quiet -o2 "$out/$name.png"
    echo "$out/$name.png : $options"
done
