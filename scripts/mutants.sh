#!/usr/bin/env bash
# Plants each deliberate fault of tests/mutants/mutants.tsv alone in a scratch copy of the
# committed tree, builds the unit tests there (sanitizer build) and runs the tests named for
# it: "caught" when they fail, "survived" when they pass. The working tree is never touched.
# usage: scripts/mutants.sh [NAME...]     (all of them by default)
# Fields are separated by tabs, none of them empty: a fault that takes a line out plants a
# comment in its place.
set -euo pipefail
top=$(git rev-parse --show-toplevel)
scratch=$(mktemp -d /tmp/pyrelle-mutants.XXXXXX)
trap 'git -C "$top" worktree remove --force "$scratch/tree" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
git -C "$top" worktree add --detach "$scratch/tree" HEAD >/dev/null 2>&1
cd "$scratch/tree"
cmake --preset test >/dev/null
echo "construction des tests…" >&2
cmake --build --preset test --target pyrelle_tests >/dev/null

survived=0
while IFS=$'\t' read -r name file from to filter; do
    [[ -z "$name" || "$name" == \#* ]] && continue
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
    cp "$file" "$scratch/original"
    if ! python3 - "$file" "$from" "$to" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
    then
        echo "$name: le texte à remplacer n'est pas dans $file une fois exactement" >&2
        survived=$((survived + 1))
        continue
    fi
    if ! cmake --build --preset test --target pyrelle_tests >"$scratch/build.log" 2>&1; then
        # A fault the compiler refuses tells nothing of the tests: its text needs mending.
        verdict="DOES NOT BUILD: $(grep -m 1 -E 'error:' "$scratch/build.log" | cut -c1-160)"
        survived=$((survived + 1))
    elif build/test/tests/pyrelle_tests --gtest_filter="$(printf '%s' "$filter" | sed 's/|/*:/g')*" \
        --gtest_brief=1 >"$scratch/test.log" 2>&1; then
        verdict="SURVIVED"
        survived=$((survived + 1))
    else
        verdict="caught"
    fi
    printf '%-36s %s\n' "$name" "$verdict"
    cp "$scratch/original" "$file"
done <"$top/tests/mutants/mutants.tsv"
cmake --build --preset test --target pyrelle_tests >/dev/null 2>&1 || true
exit $((survived > 0))
