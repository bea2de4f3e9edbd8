#!/usr/bin/env bash
# The game's rules never call the C library's transcendental functions, whose bits differ
# from one library to the next: they call the game's own (engine/float_math.hpp). floor, ceil,
# trunc, round, sqrt and fmod are exact everywhere and stay. The one file that may name the
# library's is the build that swaps them in on purpose (-DPYRELLE_LIBC_MATH=ON).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
src="$here/../../src"
functions='sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|exp|exp2|expm1|log|log2|log10|log1p|pow|cbrt|hypot|erf|erfc|tgamma|lgamma|sincos'
pattern="(std::|[^a-zA-Z0-9_:.>])(${functions})f?[[:space:]]*\\("
found=$(grep -rnE "$pattern" "$src" --include='*.cpp' --include='*.hpp' |
    grep -vE '^[^:]*/engine/float_math(_libc)?[^/]*\.(cpp|hpp):' |
    sed -E 's/fmath::[a-z0-9]+\(//g' | grep -E "$pattern" || true)
[ -z "$found" ] || fail "fonctions de la bibliothèque C dans les règles du jeu :
$found"
echo "sources: ok"
