#!/usr/bin/env bash
# The command line of the real binary: usage, errors and statuses, before anything opens.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
bin=$1
usage="pyrelle [--seed N] [--depth N] [--fullscreen] [--record fichier.rpl] [--replay fichier.rpl] [--daily] [--ghost] [--reduced-motion] [--headless FRAMES [--shot fichier.png] [--idle]] [--auto] [--warp-exit] [--warp-water] [--warp-lost] [--moths-near] [--night] [--companions N] [--light-all]"

for help in -h --help "--seed 5 --help"; do
    # shellcheck disable=SC2086
    capture env -u DISPLAY "$bin" $help
    expect_eq "statut de $help" "$STATUS" 0
    expect_eq "usage de $help" "$OUT" "$usage"
    expect_eq "stderr de $help" "$ERR" ""
done

check_error() {  # message, arguments...
    local want=$1
    shift
    # No display: an error must come before any attempt to open the window.
    capture env -u DISPLAY "$bin" "$@"
    expect_eq "statut de $*" "$STATUS" 2
    expect_eq "message de $*" "$ERR" "$want"
    expect_eq "stdout de $*" "$OUT" ""
}
check_error "argument inconnu : --bogus" --bogus --help
check_error "argument inconnu : --fullscreen=1" --fullscreen=1
check_error "valeur manquante après --shot" --shot
check_error "--seed : invalid digit found in string" --seed -1
check_error "--depth : number too large to fit in target type" --depth 4294967296
check_error "--headless : cannot parse integer from empty string" --headless ""
check_error "--companions : invalid digit found in string" --companions 1.5
check_error "--companions : number too large to fit in target type" --companions 4294967295
echo "cli: ok"
