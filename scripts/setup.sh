#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, only when missing.
# Used by run.sh (build and run-time set) and test.sh (adds the test tools).
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config libsdl2-dev libasound2-dev libunistring-dev)
test_pkgs=(libgtest-dev libgmock-dev libbenchmark-dev libpng-dev xvfb xdotool x11-utils x11-apps
           x11-xkb-utils pulseaudio pulseaudio-utils libasound2-plugins alsa-utils clang
           libclang-rt-14-dev openbox)

want=("${build_pkgs[@]}")
if [ "${1:-}" = "--tests" ]; then
    want+=("${test_pkgs[@]}")
fi

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installation des paquets manquants : ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
