#!/usr/bin/env bash
# The zip for game hosts (cmake --preset web makes build/web/pyrelle-web-<version>.zip) as a
# host serves it, in headless Chromium: tests/web/host_test.mjs unpacks it in a folder of a
# site, serves it with scripts/serve.mjs and embeds it in a host page. The desktop binary under
# test draws the reference picture (its step-0 picture of seed 42, without records), and the
# desktop's icon maker, in the folder of the helper programs ($2), the reference icons.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$1
tools=${2:-}
repo="$(cd "$here/../.." && pwd)"
version=$(sed -n 's/^project(pyrelle VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
zip="$repo/build/web/pyrelle-web-$version.zip"
[ -f "$zip" ] || fail "pas de zip pour les hébergeurs ($zip) : cmake --preset web && cmake --build --preset web"
command -v unzip >/dev/null || fail "unzip manque : apt-get install unzip"
[ -d "$repo/tests/web/node_modules/puppeteer-core" ] ||
    fail "puppeteer-core manque : (cd tests/web && npm ci)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/plain"
cp "$bin" "$work/plain/pyrelle"
"$work/plain/pyrelle" --seed 42 --headless 0 --idle --shot "$work/title.png" 2>/dev/null ||
    fail "image de référence"
if [ -n "$tools" ] && [ -x "$tools/make_icons" ]; then
    "$tools/make_icons" "$work/icons" pyrelle 16 32 48 64 128 192 256 512 || fail "icônes du bureau"
fi
timeout 240 node "$repo/tests/web/host_test.mjs" "$zip" "$work"
