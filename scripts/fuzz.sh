#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, sanitizers) and runs each one from the seed corpus kept
# in tests/fuzz/corpus/, for SECONDS each (default 600). New inputs go to a scratch corpus,
# so the repository's seeds stay as they are; a finding is kept as build/fuzz/findings/*.
# usage: scripts/fuzz.sh [SECONDS] [TARGET...]     (./test.sh runs it for 30 s each)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(cli records replay)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
failed=0
for target in "${targets[@]}"; do
    scratch=$(mktemp -d)
    log="build/fuzz/$target.log"
    set +e
    "build/fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$scratch" "tests/fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    set -e
    rm -rf "$scratch"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ "$status" = 0 ]; then
        echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no finding"
    else
        echo "fuzz $target: FINDING after ${runs:-?} executions (status $status), see $log and $findings/" >&2
        tail -n 30 "$log" >&2
        failed=1
    fi
done
exit "$failed"
