#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: unit tests and the real binary
# (command line, headless runs, desktop window under Xvfb, sound output), all under
# AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors. Benchmarks are built, not run.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh --tests
cmake --preset test
cmake --build --preset test
ctest --preset test "$@"
