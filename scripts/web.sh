#!/usr/bin/env bash
# Plays Pyrelle in a browser: installs what is missing on a Debian 12 machine, builds the web
# version (cmake --preset web: the game's two builds beside the page) and serves it on
# 127.0.0.1 for a browser of this machine. Usage: scripts/web.sh [PORT] (default 8000).
# scripts/web.sh --zip builds only, and says where the zip for game hosts is
# (build/web/pyrelle-web-<version>.zip, index.html at its root).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
zip=false
if [ "${1:-}" = --zip ]; then
    zip=true
    shift
fi
port=${1:-8000}
bash "$here/scripts/setup.sh" --web
echo "compilation de pyrelle pour le navigateur…" >&2
(cd "$here" && cmake --preset web >&2 && cmake --build --preset web >&2)
if $zip; then
    version=$(sed -n 's/^project(pyrelle VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
    echo "$here/build/web/pyrelle-web-$version.zip"
    exit 0
fi
echo "Pyrelle se joue à l'adresse ci-dessous (Ctrl+C pour arrêter le serveur) :" >&2
exec node "$here/scripts/serve.mjs" "$here/build/web" "$port"
