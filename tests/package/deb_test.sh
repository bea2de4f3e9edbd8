#!/usr/bin/env bash
# The Debian package. Builds the Release program and pyrelle_<version>_<arch>.deb in
# build/deb/, checks what the package holds (files, control fields, a Depends that names the
# package of every library the program links, the changelog of this version, the manual) and
# runs lintian, which must report no error and no warning. CTest runs this part (label deb).
#
# With --chroot, by hand and as root (debootstrap, chroot and mount need it), it then installs
# the package with apt in a fresh Debian 12 root and plays it there as a player would: the
# files are in place, `pyrelle --help` runs from /usr/games, the desktop entry's Exec line opens
# the game's window under a virtual X server, Enter starts a run, which saves the records
# under the player's ~/.local/share/pyrelle/, and they survive a second game and
# `apt remove pyrelle`. The first run makes the root with debootstrap and downloads a few
# hundred MB; the root and the packages are kept in build/deb-root/, so later runs are quick.
#
#   tests/package/deb_test.sh            the package and lintian
#   tests/package/deb_test.sh --chroot   the same, then the install in a Debian 12 root
#
# PYRELLE_DEB_MIRROR names the Debian mirror for the root (default: the one apt uses here).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
source "$top/tests/app/lib.sh"
# A command that fails where no check expected it still says where.
set -E
trap 'echo "ÉCHEC : ligne $LINENO : $BASH_COMMAND" >&2' ERR

chroot_run=false
case "${1:-}" in
    "") ;;
    --chroot) chroot_run=true ;;
    *) fail "usage : $0 [--chroot]" ;;
esac

build="$top/build/deb"
version=$(sed -n 's/^project(pyrelle VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || fail "pas de version dans CMakeLists.txt"
arch=$(dpkg --print-architecture)
deb_name="pyrelle_${version}_$arch.deb"
id=io.github.pyrelle.Pyrelle
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

part_start=$SECONDS
part_done() {  # what
    echo "deb_test : $1 en $((SECONDS - part_start)) s"
    part_start=$SECONDS
}

# Runs a command with its output in a log, shown (the end of it) only when it fails.
logged() {  # what, command...
    local what=$1
    shift
    if ! "$@" >"$work/log" 2>&1; then
        tail -n 40 "$work/log" >&2
        fail "$what"
    fi
}

# The Release program and the package, in a build folder of their own (no benchmarks: the
# package does not hold them).
mkdir -p "$top/build"
cd "$top"
logged "configuration" nice cmake --preset release -B "$build" -DPYRELLE_BENCH=OFF
logged "compilation" nice cmake --build "$build"
part_done "compilation Release"
rm -f "$build"/pyrelle_*.deb
logged "cpack -G DEB" bash -c 'cd "$1" && cpack -G DEB' _ "$build"
deb="$build/$deb_name"
[ -f "$deb" ] || fail "pas de $deb_name ; cpack a fait : $(cd "$build" && ls ./*.deb 2>/dev/null)"
part_done "paquet"

# What the package must hold, and nothing else.
want_files="/usr/games/pyrelle
/usr/share/applications/$id.desktop
/usr/share/doc/pyrelle/README.md
/usr/share/doc/pyrelle/changelog.gz
/usr/share/doc/pyrelle/copyright
/usr/share/icons/hicolor/128x128/apps/$id.png
/usr/share/icons/hicolor/16x16/apps/$id.png
/usr/share/icons/hicolor/256x256/apps/$id.png
/usr/share/icons/hicolor/32x32/apps/$id.png
/usr/share/icons/hicolor/48x48/apps/$id.png
/usr/share/icons/hicolor/64x64/apps/$id.png
/usr/share/man/man6/pyrelle.6.gz
/usr/share/metainfo/$id.metainfo.xml"
got_files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | LC_ALL=C sort)
expect_eq "fichiers du paquet" "$got_files" "$want_files"

field() { dpkg-deb -f "$deb" "$1"; }
expect_eq "Package" "$(field Package)" pyrelle
expect_eq "Version" "$(field Version)" "$version"
expect_eq "Architecture" "$(field Architecture)" "$arch"
expect_eq "Section" "$(field Section)" games
expect_eq "Priority" "$(field Priority)" optional
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\ ]+@[^@\ ]+\>$ ]] || fail "Maintainer : «$(field Maintainer)»"
[ "$(field Description | wc -l)" -gt 2 ] || fail "Description sans texte long : «$(field Description)»"

# Every library the program links comes from a package that Depends names; the owner is
# asked of this machine's dpkg, which knows where each library came from.
dpkg-deb -x "$deb" "$work/unpacked"
depends=$(field Depends)
needed=$(readelf -d "$work/unpacked/usr/games/pyrelle" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || fail "le programme ne dit aucune bibliothèque"
libraries=$(ldconfig -p)
for soname in $needed; do
    path=$(awk -v s="$soname" '$1 == s { print $NF; exit }' <<<"$libraries")
    [ -n "$path" ] || fail "$soname introuvable sur cette machine"
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")") ||
        fail "aucun paquet ne fournit $path"
    owner=${owner%%:*}
    [[ ", $depends," == *", $owner "* || ", $depends," == *", $owner,"* ]] || fail "Depends ne nomme pas $owner (pour $soname) : «$depends»"
done

# The changelog's newest entry is this version; the manual is the project's, compressed.
expect_eq "changelog" "$(zcat "$work/unpacked/usr/share/doc/pyrelle/changelog.gz" | sed -n '1s/^\([^ ]* [^ ]*\).*/\1/p')" \
    "pyrelle ($version)"
zcat "$work/unpacked/usr/share/man/man6/pyrelle.6.gz" | cmp -s - "$top/dist/pyrelle.6" ||
    fail "le manuel du paquet n'est pas dist/pyrelle.6"

# The packaged program runs, and the desktop entry starts a program the package puts in /usr/games.
capture "$work/unpacked/usr/games/pyrelle" --help
expect_eq "statut --help du paquet" "$STATUS" 0
[[ "$OUT" == "pyrelle [--seed N]"* ]] || fail "usage du paquet : $OUT"
exec_line=$(sed -n 's/^Exec=//p' "$work/unpacked/usr/share/applications/$id.desktop")
[ -x "$work/unpacked/usr/games/${exec_line%% *}" ] || fail "Exec=$exec_line n'est pas dans /usr/games"

# lintian: no error, no warning (an override shipped in the package says why where one is
# accepted). Its informational tags are shown too.
capture lintian --display-info --fail-on error,warning "$deb"
printf '%s\n' "$OUT"
expect_eq "statut de lintian ($ERR)" "$STATUS" 0
if grep -q -E '^[EW]: ' <<<"$OUT"; then fail "lintian signale des erreurs ou des avertissements"; fi
part_done "contrôles et lintian"

if ! $chroot_run; then
    echo "deb: ok"
    exit 0
fi

# ---- The install in a fresh Debian 12 root ------------------------------------------------

[ "$(id -u)" -eq 0 ] || fail "--chroot demande root (debootstrap, chroot, mount)"
command -v debootstrap >/dev/null || PYRELLE_EXTRA_PACKAGES=debootstrap bash "$top/scripts/setup.sh"
cache="$top/build/deb-root"
base="$cache/bookworm.tar"  # the root as debootstrap made it, with apt's lists
archives="$cache/archives"  # the packages apt downloaded in the roots, for the next runs
root="$cache/root"          # this run's root, removed at the end
mkdir -p "$cache" "$archives"
mirror=${PYRELLE_DEB_MIRROR:-$(apt-cache policy | awk '/ bookworm\/main / && $2 ~ /^https?:/ && !m { m = $2 } END { print m }')}
mirror=${mirror:-http://deb.debian.org/debian}

# Nothing may stay mounted in a root that is removed: rm -rf would go through /dev.
mounts_under() { findmnt -rn -o TARGET | grep -E "^$1(/|$)" | sort -r || true; }
remove_root() {  # folder
    local m
    for m in $(mounts_under "$1"); do umount "$m" || umount -l "$m" || true; done
    [ -z "$(mounts_under "$1")" ] || fail "encore monté sous $1 : $(mounts_under "$1")"
    rm -rf "$1"
}

pids=()
# Stops the processes this test started: its own, then any still running inside the root,
# which only they can have started. Then unmounts and removes the root.
cleanup() {
    local p pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill "${p#/proc/}" 2>/dev/null || true
    done
    for _ in $(seq 50); do
        local alive=false
        for p in /proc/[0-9]*; do
            [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && alive=true
        done
        $alive || break
        sleep 0.1
    done
    if [ -z "${PYRELLE_KEEP_ROOT:-}" ]; then
        remove_root "$root" || echo "racine laissée dans $root" >&2
    else
        for p in $(mounts_under "$root"); do umount "$p" || true; done
        echo "racine gardée dans $root" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

if [ ! -f "$base" ]; then
    echo "deb_test : debootstrap de Debian 12 depuis $mirror (une fois)…"
    remove_root "$cache/base.tmp"
    logged "debootstrap" debootstrap --variant=minbase bookworm "$cache/base.tmp" "$mirror"
    logged "apt-get update" chroot "$cache/base.tmp" apt-get update
    tar -C "$cache/base.tmp" -cf "$base.part" .
    mv "$base.part" "$base"
    remove_root "$cache/base.tmp"
    part_done "racine Debian 12 (debootstrap)"
fi

remove_root "$root"
mkdir "$root"
tar -C "$root" -xf "$base"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind "$archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# apt keeps what it downloads (in $archives, for the next runs); apt-get does by default.
echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"$root/etc/apt/apt.conf.d/50keep-packages"
# A root thrown away after the test needs no fsync after every file dpkg unpacks.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
# No service starts from a package installed here.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
part_done "racine neuve"

in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive ${http_proxy:+http_proxy=$http_proxy} "$@"
}
# apt's lists in the kept root can be older than the mirror: on a failure, fetch them again.
apt_in_root() {  # what, apt arguments...
    local what=$1
    shift
    if ! in_root apt "$@" >"$work/log" 2>&1; then
        echo "deb_test : apt a échoué, nouvelles listes (apt-get update)…"
        logged "apt-get update" in_root apt-get update
        logged "$what" in_root apt "$@"
    fi
}

apt_in_root "apt install ./$deb_name" install -y "/tmp/$deb_name"
part_done "apt install du paquet"

# Everything apt was to bring is there: no library of the program is missing.
expect_eq "état du paquet" "$(in_root dpkg-query -W -f='${Status}' pyrelle)" "install ok installed"
expect_eq "fichiers installés" "$(in_root dpkg -L pyrelle | while read -r f; do
    [ -f "$root$f" ] && [ ! -L "$root$f" ] && echo "$f"; done | LC_ALL=C sort)" "$want_files"
[ ! -e "$root/usr/bin/pyrelle" ] || fail "/usr/bin/pyrelle ne devrait pas exister"
capture in_root ldd /usr/games/pyrelle
expect_eq "ldd ($ERR)" "$STATUS" 0
if grep -q 'not found' <<<"$OUT"; then fail "bibliothèques manquantes : $(grep 'not found' <<<"$OUT")"; fi

# A player, with Debian's PATH for users (it has /usr/games).
in_root useradd --create-home --shell /bin/bash joueur
player_ids="$(in_root id -u joueur):$(in_root id -g joueur)"
home=/home/joueur
display=""
as_player() {
    chroot --userspec="$player_ids" "$root" env -i HOME=$home USER=joueur LOGNAME=joueur \
        SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games \
        LANG=C.UTF-8 ${display:+DISPLAY=$display} "$@"
}

capture as_player bash -c 'command -v pyrelle'
expect_eq "pyrelle dans le PATH" "$OUT" /usr/games/pyrelle
capture as_player pyrelle --help
expect_eq "statut de pyrelle --help" "$STATUS" 0
[[ "$OUT" == "pyrelle [--seed N]"* ]] || fail "usage de pyrelle --help : $OUT"
part_done "fichiers et pyrelle --help"

# A desktop to play on: a virtual X server and a window manager, as the player.
apt_in_root "apt install xvfb xdotool openbox wmctrl" install -y --no-install-recommends \
    xvfb xdotool openbox wmctrl
part_done "apt install xvfb xdotool openbox wmctrl"
# The server picks a free display itself: its abstract socket is shared with the machine's.
as_player bash -c 'exec Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>/tmp/display' \
    >/dev/null 2>&1 &
pids+=($!)
wait_until 30 test -s "$root/tmp/display" || fail "pas de serveur X virtuel dans la racine"
display=":$(head -n 1 "$root/tmp/display")"
wait_until 30 test -S "$root/tmp/.X11-unix/X${display#:}" || fail "pas de socket X $display"
as_player openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_until 30 as_player wmctrl -m >/dev/null 2>&1 || fail "pas de gestionnaire de fenêtres"

# The game as the desktop starts it: the Exec line without its field codes, from the home.
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
exec_cmd=$(sed -E 's/ ?%[fFuUdDnNickvm]//g' <<<"$exec_line")
launch() {  # stderr file (in the root's /tmp)
    as_player sh -c "cd && exec $exec_cmd" 2>"$root/tmp/$1" &
    GAME=$!
    pids+=("$GAME")
    WIN=""
    local deadline=$((SECONDS + 60))
    while [ -z "$WIN" ] && [ "$SECONDS" -lt "$deadline" ]; do
        kill -0 "$GAME" 2>/dev/null || break
        WIN=$(as_player xdotool search --onlyvisible --name '^Pyrelle$' 2>/dev/null | tail -n 1 || true)
        [ -n "$WIN" ] || sleep 0.1
    done
    [ -n "$WIN" ] || fail "Exec=$exec_line : aucune fenêtre «Pyrelle» ; stderr : $(cat "$root/tmp/$1")"
}
press_return() {
    as_player xdotool windowactivate --sync "$WIN" >/dev/null 2>&1 || true
    as_player xdotool keydown Return
    sleep 0.3  # held for several frames, as a finger does
    as_player xdotool keyup Return
}
close_game() {  # what
    as_player wmctrl -i -c "$WIN"
    wait_exit "$GAME" 15 || fail "$1 : le jeu ne s'arrête pas à la fermeture de sa fenêtre"
    local status
    wait "$GAME" && status=0 || status=$?
    expect_eq "statut du jeu après $1" "$status" 0
}

records="$home/.local/share/pyrelle/pyrelle.sav"
failures=()
records_check() {  # when
    if [ ! -f "$root$records" ]; then
        local found
        found=$(cd "$root" && find . -xdev -name pyrelle.sav 2>/dev/null | sed 's|^\.||' | tr '\n' ' ')
        failures+=("$1 : pas de records dans ~/.local/share/pyrelle/pyrelle.sav ; le jeu installé doit les garder dans \$XDG_DATA_HOME/pyrelle/ (par défaut ~/.local/share/pyrelle/) ; pyrelle.sav trouvé : ${found:-nulle part} ; stderr du jeu : $(cat "$root/tmp/err1" 2>/dev/null)")
        echo "ÉCHEC : ${failures[-1]}" >&2
        return 1
    fi
    grep -q -x 'best_depth=1' "$root$records" ||
        fail "$1 : records inattendus : $(cat "$root$records")"
    # The player's own, in a folder of their own that nobody else reads.
    expect_eq "$1 : propriétaire des records" "$(stat -c %u:%g "$root$records")" "$player_ids"
    expect_eq "$1 : droits du dossier des records" \
        "$(stat -c '%a %u:%g' "$root$(dirname "$records")")" "700 $player_ids"
}

# A first game: Enter starts a run, whose first depth is saved at once.
launch err1
press_return
wait_until 20 test -f "$root$records" || true
close_game "la première partie"
if records_check "après la première partie"; then
    if grep -q 'records non sauvegardés' "$root/tmp/err1"; then
        fail "la première partie : $(cat "$root/tmp/err1")"
    fi
    # As if the player had gone down to depth 3 before: a game that neither read them nor
    # merged its save with the file would write depth 1 over it when its run starts.
    printf 'best_depth=3\n' >"$root$records"
    cp "$root$records" "$work/records"
fi
part_done "première partie"

# A second game reads them and leaves them as they were, and so does removing the package.
launch err2
press_return
close_game "la seconde partie"
if [ -f "$work/records" ]; then
    cmp -s "$work/records" "$root$records" ||
        fail "records changés par la seconde partie : $(cat "$root$records" 2>/dev/null || echo absents)"
    if grep -q 'records non sauvegardés' "$root/tmp/err2"; then
        fail "la seconde partie : $(cat "$root/tmp/err2")"
    fi
fi
part_done "seconde partie"

apt_in_root "apt remove pyrelle" remove -y pyrelle
[ ! -e "$root/usr/games/pyrelle" ] || fail "/usr/games/pyrelle reste après apt remove"
if [ -f "$work/records" ]; then
    cmp -s "$work/records" "$root$records" ||
        fail "records changés ou perdus par apt remove : $(cat "$root$records" 2>/dev/null || echo absents)"
fi
part_done "apt remove"

if [ ${#failures[@]} -gt 0 ]; then
    printf 'ÉCHEC : %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "deb (racine Debian 12): ok"
