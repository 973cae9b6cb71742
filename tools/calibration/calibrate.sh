#!/bin/bash
# Calibrates the limited-strength levels by a chain of self-play matches: the strongest level
# against the full engine, each next level against the one above it. Every link is two
# tolvo-selfplay runs in parallel over the two halves of the openings; a link whose result is
# on file is not played again, so the script can be stopped and started at any time.
#
#   tools/calibration/calibrate.sh [OUT_DIR]        (default: $HOME/tolvo-calibration)
#
# Environment: LEVELS (UCI_Elo values, strongest first), GAMES per link (default 200),
# TC (default 10+0.1), BUILD (directory of the built tools, default build/).
# Writes OUT_DIR/link-<elo>.result ("W D L" of the stronger side) and prints the table.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
out=${1:-$HOME/tolvo-calibration}
levels=(${LEVELS:-2076 1881 1690 1547 1330 1181})
games=${GAMES:-200}
tc=${TC:-10+0.1}
build=${BUILD:-$repo/build}
openings=$here/openings.fen
mkdir -p "$out"

half=$(( ($(wc -l < "$openings") + 1) / 2 ))
head -n "$half" "$openings" > "$out/openings-a.fen"
tail -n +"$((half + 1))" "$openings" > "$out/openings-b.fen"

log() { echo "$(date '+%F %T') $*" | tee -a "$out/calibration.log"; }

# "N games: W-D-L, ..." of one run -> "W D L"
counts() { sed -n 's/^[0-9]* games: \([0-9]*\)-\([0-9]*\)-\([0-9]*\),.*/\1 \2 \3/p' "$1" | tail -n 1; }

options_for() {  # the selfplay options of one engine: "full" or a rating
    local side=$1 level=$2
    if [ "$level" != full ]; then
        echo "--option$side UCI_LimitStrength=true --option$side UCI_Elo=$level"
    fi
}

# The weakest link first: the links are independent matches, and the weak ones are quick, so
# a level that misses its range shows early, while only the link above it is still to play.
for ((i = ${#levels[@]} - 1; i >= 0; i--)); do
    level=${levels[i]}
    above=$([ "$i" -eq 0 ] && echo full || echo "${levels[i - 1]}")
    result=$out/link-$level.result
    if [ ! -s "$result" ]; then
        log "link $above against $level: $games games at $tc"
        pids=()
        for part in a b; do
            # shellcheck disable=SC2046
            "$build/tolvo-selfplay" --games $((games / 2)) --tc "$tc" \
                --openings "$out/openings-$part.fen" $(options_for 1 "$above") \
                $(options_for 2 "$level") > "$out/link-$level-$part.log" 2>&1 &
            pids+=($!)
        done
        for pid in "${pids[@]}"; do wait "$pid"; done
        read -r wa da la < <(counts "$out/link-$level-a.log")
        read -r wb db lb < <(counts "$out/link-$level-b.log")
        grep -h "games:" "$out/link-$level-a.log" "$out/link-$level-b.log" | tee -a "$out/calibration.log"
        echo "$((wa + wb)) $((da + db)) $((la + lb))" > "$result"
        log "link $above against $level: $(cat "$result") (W D L of $above)"
    fi
done

# The table: each link's gap with its 95% interval, and the ratings down the chain from the
# anchor (the full engine at 2230 +-70).
for level in "${levels[@]}"; do
    echo "$level $(cat "$out/link-$level.result")"
done | awk -v anchor=2230 -v anchor_ci=70 '
function elo(s) { return 400 * log(s / (1 - s)) / log(10) }
function clampscore(s) { return s < 0.001 ? 0.001 : s > 0.999 ? 0.999 : s }
{
    n = $2 + $3 + $4; s = ($2 + $3 / 2) / n
    v = ($2 * (1 - s) ^ 2 + $3 * (0.5 - s) ^ 2 + $4 * s ^ 2) / n
    se = sqrt(v / n)
    gap = elo(clampscore(s)); lo = elo(clampscore(s - 1.96 * se)); hi = elo(clampscore(s + 1.96 * se))
    ci = (hi - lo) / 2
    rating = (NR == 1 ? anchor : rating) - gap
    sumsq += ci ^ 2
    printf "%s: %d games +%d =%d -%d, score %.1f%%, gap %.0f +-%.0f, rating %.0f +-%.0f\n",
        $1, n, $2, $3, $4, 100 * s, gap, ci, rating, sqrt(sumsq + anchor_ci ^ 2)
}' | tee "$out/table.txt"
