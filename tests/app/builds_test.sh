#!/usr/bin/env bash
# The same float bits from every build of the game's float functions: the sanitizer build
# under test, the clang build (the fuzz preset) and the browser's (WebAssembly in Node.js),
# and the Release build when there is one. Each checks the fixed table of cases worked out
# with MPFR and prints a hash of a few million further results; the lines must all agree.
# Then the same for the four-lane vector helpers (tools/simd_cases_check.cpp).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
tools=$2
repo="$(cd "$here/../.." && pwd)"
cases="$here/../data/float_math_cases.txt"

capture "$tools/float_math_cases_check" "$cases"
expect_eq "statut (tests)" "$STATUS" 0
want=$OUT
echo "# tests : $want"
[[ "$want" == *", 0 mismatches;"* ]] || fail "table : $want"
checked=0
for other in "$repo/build/fuzz/tools/float_math_cases_check" "$repo/build/release/tools/float_math_cases_check" \
    "$repo/build/web/float_math_cases_check.js"; do
    [ -f "$other" ] || continue
    if [[ "$other" == *.js ]]; then
        capture node "$other" "$cases"
    else
        capture "$other" "$cases"
    fi
    echo "# ${other#"$repo/"} : $OUT"
    expect_eq "statut de $other" "$STATUS" 0
    expect_eq "résultats de $other" "$OUT" "$want"
    checked=$((checked + 1))
done
# ./test.sh builds the clang and the browser ones: both must be there.
[ -f "$repo/build/fuzz/tools/float_math_cases_check" ] || fail "pas de version clang (cmake --build --preset fuzz)"
[ -f "$repo/build/web/float_math_cases_check.js" ] || fail "pas de version web (cmake --build --preset web)"

# The four-lane helpers likewise: SSE2 on the desktop, and in the browser's two builds
# WebAssembly's SIMD and the lane-by-lane fallback, each against the scalar rules.
capture "$tools/simd_cases_check"
expect_eq "statut (tests, SIMD)" "$STATUS" 0
want=$OUT
echo "# tests, SIMD : $want"
[[ "$want" == *" cas, 0 écarts ;"* ]] || fail "SIMD : $want"
for other in "$repo/build/fuzz/tools/simd_cases_check" "$repo/build/release/tools/simd_cases_check" \
    "$repo/build/web/simd_cases_check.js" "$repo/build/web/simd_cases_check_scalar.js"; do
    [ -f "$other" ] || continue
    if [[ "$other" == *.js ]]; then
        capture node "$other"
    else
        capture "$other"
    fi
    echo "# ${other#"$repo/"} : $OUT"
    expect_eq "statut de $other" "$STATUS" 0
    expect_eq "résultats de $other" "$OUT" "$want"
done
for other in simd_cases_check.js simd_cases_check_scalar.js; do
    [ -f "$repo/build/web/$other" ] || fail "pas de $other (cmake --build --preset web)"
done
echo "builds: ok ($((checked + 1)) versions)"
