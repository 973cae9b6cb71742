#!/bin/bash
# One match of Tolvo against the outside reference: the program Debian packages as `stockfish`,
# used only as an opponent at its own "UCI_LimitStrength"/"UCI_Elo" settings (its UCI_Elo runs
# from 1350 to 2850), never read and never a source of data. Installs the package when it is
# missing. Two tolvo-selfplay runs play at once, one over each half of the openings, each
# opening twice with colours swapped; a match whose result is on file is not played again, so
# a calibration or a measurement can be stopped and started at any time.
#
#   tools/calibration/reference_match.sh OUT_PREFIX REFERENCE_ELO GAMES [NAME=VALUE ...]
#
# NAME=VALUE are Tolvo's options ("UCI_LimitStrength=true" "UCI_Elo=1800", "Use NNUE=true").
# Environment: TC (default 10+0.1), OPENINGS (default tools/calibration/openings.fen),
# ENGINE (Tolvo's command, default BUILD/tolvo), BUILD (default build/), REFERENCE (default
# /usr/games/stockfish).
# Writes OUT_PREFIX.result ("W D L", Tolvo's wins, draws and losses), OUT_PREFIX-a.log and
# OUT_PREFIX-b.log (the runs' output) and prints "W D L".
set -euo pipefail

if [ $# -lt 3 ]; then
    sed -n '2,17p' "$0" >&2
    exit 2
fi
out=$1 reference_elo=$2 games=$3
shift 3

here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
build=${BUILD:-$repo/build}
engine=${ENGINE:-$build/tolvo}
reference=${REFERENCE:-/usr/games/stockfish}
openings=${OPENINGS:-$here/openings.fen}
tc=${TC:-10+0.1}

if [ ! -x "$reference" ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get update >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends stockfish >&2
fi

tolvo_options=()
for option in "$@"; do tolvo_options+=(--option1 "$option"); done
OPENINGS=$openings TC=$tc BUILD=$build exec "$repo/tools/selfplay/match.sh" "$out" "$games" \
    --engine "$engine" --engine "$reference" "${tolvo_options[@]}" \
    --option2 Threads=1 --option2 Hash=16 --option2 UCI_LimitStrength=true \
    --option2 "UCI_Elo=$reference_elo"
