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

if [ -s "$out.result" ]; then
    cat "$out.result"
    exit 0
fi
if [ ! -x "$reference" ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get update >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends stockfish >&2
fi
mkdir -p "$(dirname "$out")"

# The first games/2 openings (each played twice), in two halves of games/4 openings each.
# One process reads the whole file: a pipe that a reader leaves early fails under pipefail.
awk -v n=$((games / 2)) '!/^#/ && NF && count++ < n' "$openings" > "$out-openings.fen"
half=$((games / 4))
head -n "$half" "$out-openings.fen" > "$out-openings-a.fen"
tail -n +"$((half + 1))" "$out-openings.fen" > "$out-openings-b.fen"

tolvo_options=()
for option in "$@"; do tolvo_options+=(--option1 "$option"); done

pids=()
for part in a b; do
    part_games=$([ $part = a ] && echo $((2 * half)) || echo $((games - 2 * half)))
    "$build/tolvo-selfplay" --engine "$engine" --engine "$reference" --games "$part_games" \
        --tc "$tc" --openings "$out-openings-$part.fen" "${tolvo_options[@]}" \
        --option2 Threads=1 --option2 Hash=16 --option2 UCI_LimitStrength=true \
        --option2 "UCI_Elo=$reference_elo" --pgn "$out-$part.pgn" > "$out-$part.log" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

# "N games: W-D-L, ..." of one run -> "W D L"
counts() { sed -n 's/^[0-9]* games: \([0-9]*\)-\([0-9]*\)-\([0-9]*\),.*/\1 \2 \3/p' "$1" | tail -n 1; }
read -r wa da la < <(counts "$out-a.log")
read -r wb db lb < <(counts "$out-b.log")
# A forfeit by either side (an illegal move, a crash, a hang, a loss on time) is reported by the
# runs' exit status and summary; the result is kept all the same, and the caller is told.
grep -h "games:" "$out-a.log" "$out-b.log" >&2
echo "$((wa + wb)) $((da + db)) $((la + lb))" | tee "$out.result"
exit $status
