#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: unit tests and the real binary
# (command line, headless runs, desktop window under Xvfb, sound output), all under
# AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors, and the fuzz targets
# (clang's libFuzzer) for 30 s each, and the browser build (Emscripten) in headless Chromium.
# Benchmarks are built, not run.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh --tests --web
cmake --preset test
cmake --build --preset test
cmake --preset fuzz
cmake --build --preset fuzz
cmake --preset web
cmake --build --preset web
bash scripts/web-test-packages.sh
ctest --preset test -j "$(nproc)" "$@"
