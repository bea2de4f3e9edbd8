#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the game (Release) and runs it with the given options.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh >&2
cmake --preset release >/dev/null
cmake --build --preset release --target pyrelle >/dev/null
exec ./build/release/pyrelle "$@"
