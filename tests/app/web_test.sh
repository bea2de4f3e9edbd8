#!/usr/bin/env bash
# The browser build (cmake --preset web, which ./test.sh builds) in headless Chromium: the page
# served on a free local port, driven by tests/web/web_test.mjs. The desktop binary under test
# draws the reference pictures: the first picture of a page with ?seed=42 is its step-0
# picture of the same seed, without records and with the records of records.sav. The page's
# two builds are checked first: SIMD and bulk memory instructions in pyrelle.wasm, none in
# pyrelle-scalar.wasm.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$1
repo="$(cd "$here/../.." && pwd)"
site="$repo/build/web"
for f in index.html pyrelle.js pyrelle.wasm pyrelle-scalar.js pyrelle-scalar.wasm; do
    [ -f "$site/$f" ] || fail "pas de version web dans $site ($f) : cmake --preset web && cmake --build --preset web"
done
command -v wasm-objdump >/dev/null || fail "wasm-objdump manque : apt-get install wabt"
[ -d "$repo/tests/web/node_modules/puppeteer-core" ] ||
    fail "puppeteer-core manque : (cd tests/web && npm ci)"
work=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Each picture from a copy of the program in a folder of its own: the records beside it are
# exactly the ones wanted.
mkdir "$work/plain" "$work/records"
cp "$bin" "$work/plain/pyrelle"
cp "$bin" "$work/records/pyrelle"
printf 'best_depth=10\nbest_time=83.40\n' >"$work/records.sav"
cp "$work/records.sav" "$work/records/pyrelle.sav"
"$work/plain/pyrelle" --seed 42 --headless 0 --idle --shot "$work/title.png" 2>/dev/null ||
    fail "image de référence"
"$work/records/pyrelle" --seed 42 --headless 0 --idle --shot "$work/title-records.png" 2>/dev/null ||
    fail "image de référence avec records"
# A replay to watch in the page, served beside it, and its first picture on the desktop.
replay="$here/../data/replays/descent.rpl"
"$work/plain/pyrelle" --replay "$replay" --headless 0 --shot "$work/replay-descent.png" 2>/dev/null ||
    fail "image de référence de la relecture"
mkdir "$work/site"
cp -r "$site"/. "$work/site/"
mkdir "$work/site/relectures"
cp "$replay" "$work/site/relectures/descent.rpl"
# Broken copies of the site: one without its WebAssembly, one with it cut short.
for broken in sans-wasm abime; do
    mkdir "$work/site/$broken"
    cp "$site"/{index.html,pyrelle.css,page.js,pyrelle.js,pyrelle-scalar.js} "$work/site/$broken/"
done
for build in pyrelle pyrelle-scalar; do
    head -c 4096 "$site/$build.wasm" >"$work/site/abime/$build.wasm"
done
# How many instructions of a build's code match a pattern.
instructions() {
    wasm-objdump -d "$1" | grep -cE "\\| +($2)" || true
}
# SIMD instructions (v128 and the lane-wise ones: i8x16, f32x4…) in each build's code.
SIMD='(v128|[if](8x16|16x8|32x4|64x2))\.'
simd=$(instructions "$site/pyrelle.wasm" "$SIMD")
scalar=$(instructions "$site/pyrelle-scalar.wasm" "$SIMD")
echo "# instructions SIMD : $simd dans pyrelle.wasm, $scalar dans pyrelle-scalar.wasm"
[ "$simd" -ge 500 ] || fail "pyrelle.wasm n'a que $simd instructions SIMD"
expect_eq "instructions SIMD de pyrelle-scalar.wasm" "$scalar" 0
# Bulk memory (memory.copy, memory.fill) likewise: only the build the page's probe chooses.
BULK='memory\.(copy|fill)'
bulk=$(instructions "$site/pyrelle.wasm" "$BULK")
bulk_scalar=$(instructions "$site/pyrelle-scalar.wasm" "$BULK")
echo "# mémoire en bloc : $bulk dans pyrelle.wasm, $bulk_scalar dans pyrelle-scalar.wasm"
[ "$bulk" -ge 1 ] || fail "pyrelle.wasm n'a pas d'instruction de mémoire en bloc"
expect_eq "mémoire en bloc dans pyrelle-scalar.wasm" "$bulk_scalar" 0

# The server notes every path asked for: the test counts the fetches of the WebAssembly.
node "$repo/scripts/serve.mjs" "$work/site" 0 "$work/requests.log" >"$work/server.out" 2>&1 &
server=$!
wait_until 20 grep -q '^http://' "$work/server.out" || fail "le serveur ne démarre pas : $(cat "$work/server.out")"
url=$(head -n 1 "$work/server.out")

echo "# fichiers de la page :"
(cd "$site" && for f in index.html pyrelle.css page.js pyrelle.js pyrelle.wasm pyrelle-scalar.js pyrelle-scalar.wasm; do
    printf '#   %-20s %7d octets (%d compressés par gzip)\n' "$f" "$(stat -c %s "$f")" "$(gzip -9c "$f" | wc -c)"
done)
timeout 240 node "$repo/tests/web/web_test.mjs" "$url" "$work"
