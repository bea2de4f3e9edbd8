#!/usr/bin/env bash
# Install and package: cmake --install puts exactly the expected files in a prefix, the desktop
# entry, the AppStream metadata and the manual pass their validators, the icons decode at their
# sizes, and the release archive runs from wherever it is unpacked.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
bin=$1
tools=$2
build="$(dirname "$bin")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
id=io.github.pyrelle.Pyrelle

cmake --install "$build" --prefix "$work/prefix" >/dev/null
want="bin/pyrelle
share/applications/$id.desktop
share/doc/pyrelle/README.md
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/16x16/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/64x64/apps/$id.png
share/man/man6/pyrelle.6
share/metainfo/$id.metainfo.xml"
expect_eq "fichiers installés" "$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" "$want"

capture desktop-file-validate "$work/prefix/share/applications/$id.desktop"
expect_eq "desktop-file-validate ($OUT$ERR)" "$STATUS" 0
capture appstreamcli validate --no-net "$work/prefix/share/metainfo/$id.metainfo.xml"
expect_eq "appstreamcli ($OUT$ERR)" "$STATUS" 0
grep -q '<release version="1.0.0" date="2026-12-10">' "$work/prefix/share/metainfo/$id.metainfo.xml" ||
    fail "version de la publication"
capture groff -t -man -ww -z "$work/prefix/share/man/man6/pyrelle.6"
expect_eq "groff ($ERR)" "$STATUS$ERR" 0
for size in 16 32 48 64 128 256; do
    capture "$tools/png_check" "$work/prefix/share/icons/hicolor/${size}x$size/apps/$id.png" "$size" "$size"
    expect_eq "icône $size ($OUT)" "$STATUS" 0
done

# Every option of the usage line is in the manual.
for option in $("$bin" --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -q -F -- "$(printf '%s' "$option" | sed 's/-/\\-/g')" "$work/prefix/share/man/man6/pyrelle.6" ||
        fail "option absente du manuel : $option"
done

# The archive: one folder that runs from wherever it is unpacked, records beside the program.
(cd "$work" && cpack -G TGZ --config "$build/CPackConfig.cmake" >/dev/null)
archive=$(ls "$work"/pyrelle-1.0.0-linux-*.tar.gz)
mkdir "$work/unpacked" "$work/elsewhere"
tar -xzf "$archive" -C "$work/unpacked"
expect_eq "dossier de l'archive" "$(ls "$work/unpacked")" "$(basename "$archive" .tar.gz)"
game="$work/unpacked/$(basename "$archive" .tar.gz)/bin/pyrelle"
cd "$work/elsewhere"
capture "$game" --help
expect_eq "statut --help de l'archive" "$STATUS" 0
[[ "$OUT" == "pyrelle [--seed N]"* ]] || fail "usage de l'archive : $OUT"
capture "$game" --headless 60 --seed 3 --shot here.png
expect_eq "statut --headless de l'archive" "$STATUS" 0
[ -s here.png ] || fail "pas d'image"
echo "package: ok"
