#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the game (Release) and runs it with the given
# options. The set-up and the build happen in the checkout; the game starts in the directory
# it was called from, so relative paths (--shot, --record, --replay) are the caller's.
# Build output goes to standard error; standard output is the game's alone.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
preset=${PYRELLE_PRESET:-release}
bash "$here/scripts/setup.sh"
echo "compilation de pyrelle ($preset)…" >&2
(cd "$here" && cmake --preset "$preset" >&2 && cmake --build --preset "$preset" --target pyrelle >&2)
exec "$here/build/$preset/pyrelle" "$@"
