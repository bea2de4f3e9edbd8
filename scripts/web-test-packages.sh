#!/usr/bin/env bash
# Installs the browser tests' npm packages (puppeteer-core, as pinned by its lock file) in
# tests/web/node_modules, unless that lock file is already what is installed. No browser is
# downloaded: the tests drive Debian's Chromium.
set -euo pipefail
cd "$(dirname "$0")/../tests/web"
stamp=node_modules/.pyrelle-installed-lock.json
if cmp -s package-lock.json "$stamp"; then
    exit 0
fi
echo "installation des paquets npm des tests du navigateur…" >&2
npm ci --no-audit --no-fund --ignore-scripts >&2
cp package-lock.json "$stamp"
