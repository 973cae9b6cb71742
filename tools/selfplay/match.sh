#!/bin/bash
# A match on two cores: two tolvo-selfplay runs at once, one over each half of the openings,
# each opening played twice with colours swapped. A match whose result is on file is not
# played again, so a series of matches can be stopped and started at any time.
#
#   tools/selfplay/match.sh OUT_PREFIX GAMES [tolvo-selfplay options ...]
#
# The options name the engines and their settings (--engine, --option1, --option2, ...); the
# openings and the clock come from the environment: OPENINGS (a FEN a line, the first GAMES/2
# are used; default tools/calibration/openings.fen), TC (default 10+0.1), BUILD (where
# tolvo-selfplay is, default build/).
# Writes OUT_PREFIX.result ("W D L" of the first engine), OUT_PREFIX-a.log and -b.log (the
# runs' output) and their PGN, and prints "W D L". Exits 1 when a game was forfeited (an
# illegal move, a crash, a hang, a loss on time); the result is kept all the same.
set -euo pipefail

if [ $# -lt 2 ]; then
    sed -n '2,14p' "$0" >&2
    exit 2
fi
out=$1 games=$2
shift 2

here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
build=${BUILD:-$repo/build}
openings=${OPENINGS:-$repo/tools/calibration/openings.fen}
tc=${TC:-10+0.1}

if [ -s "$out.result" ]; then
    cat "$out.result"
    exit 0
fi
mkdir -p "$(dirname "$out")"

# The first games/2 openings, in two halves of games/4 openings each. One process reads the
# whole file: a pipe that a reader leaves early fails under pipefail.
awk -v n=$((games / 2)) '!/^#/ && NF && count++ < n' "$openings" > "$out-openings.fen"
if [ "$(wc -l < "$out-openings.fen")" -lt $((games / 2)) ]; then
    echo "$openings holds fewer than $((games / 2)) openings" >&2
    exit 2
fi
half=$((games / 4))
head -n "$half" "$out-openings.fen" > "$out-openings-a.fen"
tail -n +"$((half + 1))" "$out-openings.fen" > "$out-openings-b.fen"

pids=()
for part in a b; do
    part_games=$([ $part = a ] && echo $((2 * half)) || echo $((games - 2 * half)))
    "$build/tolvo-selfplay" --games "$part_games" --tc "$tc" \
        --openings "$out-openings-$part.fen" --pgn "$out-$part.pgn" "$@" \
        > "$out-$part.log" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

# "N games: W-D-L, ..." of one run -> "W D L"
counts() { sed -n 's/^[0-9]* games: \([0-9]*\)-\([0-9]*\)-\([0-9]*\),.*/\1 \2 \3/p' "$1" | tail -n 1; }
read -r wa da la < <(counts "$out-a.log")
read -r wb db lb < <(counts "$out-b.log")
grep -h "games:" "$out-a.log" "$out-b.log" >&2
echo "$((wa + wb)) $((da + db)) $((la + lb))" | tee "$out.result"
exit $status
