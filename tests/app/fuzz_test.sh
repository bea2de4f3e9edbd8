#!/usr/bin/env bash
# The libFuzzer targets, 30 s each from the seed corpus (longer by hand: scripts/fuzz.sh 600).
# ./test.sh builds them beforehand with the fuzz preset.
set -euo pipefail
exec "$(dirname "$0")/../../scripts/fuzz.sh" "${PYRELLE_FUZZ_SECONDS:-30}"
