#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, only when missing.
# Used by run.sh (build and run-time set), scripts/web.sh (--web adds the browser build's) and
# test.sh (--tests adds the test tools, --web the browser build's). PYRELLE_EXTRA_PACKAGES adds
# more.
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config libsdl2-dev libasound2-dev libunistring-dev)
test_pkgs=(libgtest-dev libgmock-dev libbenchmark-dev libpng-dev xvfb xdotool x11-utils x11-apps
           x11-xkb-utils pulseaudio pulseaudio-utils libasound2-plugins clang libclang-rt-14-dev
           openbox desktop-file-utils appstream groff-base chromium libmpfr-dev weston dpkg-dev
           file lintian unzip)
# Emscripten, wabt (the browser test reads the WebAssembly's instructions with wasm-objdump),
# zip (the zip for game hosts), and Node.js to serve the page (a Node.js from elsewhere does as
# well).
web_pkgs=(emscripten wabt zip)
command -v node >/dev/null 2>&1 || web_pkgs+=(nodejs)

want=("${build_pkgs[@]}")
for arg in "$@"; do
    case "$arg" in
        --tests)
            want+=("${test_pkgs[@]}")
            # The browser tests' npm packages (npm comes with a Node.js from elsewhere).
            command -v npm >/dev/null 2>&1 || want+=(npm)
            ;;
        --web) want+=("${web_pkgs[@]}") ;;
    esac
done
# shellcheck disable=SC2206
want+=(${PYRELLE_EXTRA_PACKAGES:-})

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "paquets manquants : ${missing[*]} ; installez-les en root : apt-get install ${missing[*]}" >&2
        exit 1
    fi
    sudo_cmd=(sudo)
fi
echo "installation de ${missing[*]}…" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q >&2
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
