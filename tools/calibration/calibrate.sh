#!/bin/bash
# Calibrates the limited-strength levels against the outside reference (see
# reference_match.sh beside this script): each level plays its own match against the reference
# set to that level's target rating, so one row's error never passes to another. A level whose
# result is on file is not played again: the script can be stopped and started at any time.
#
#   tools/calibration/calibrate.sh [OUT_DIR]        (default: $HOME/tolvo-calibration)
#
# Environment: LEVELS, pairs "UCI_ELO:TARGET" (Tolvo's UCI_Elo, which selects a row of the
# table in src/search/strength.cpp or a setting between two rows, and the reference's UCI_Elo
# it is measured against; default: every row of the table against the reference setting its
# comment names, or against its own rating within the reference's 1350..2850 when it names
# none), GAMES per level (default 100), TC (default 10+0.1), and those of reference_match.sh.
# Prints the table: each level's score, the gap to the reference and its rating (the
# reference's setting plus the gap) with the 95% interval.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
out=${1:-$HOME/tolvo-calibration}
build=${BUILD:-$repo/build}
games=${GAMES:-100}
export TC=${TC:-10+0.1}
mkdir -p "$out"

if [ -z "${LEVELS:-}" ]; then
    # The table's rows: "{RATING, cap, lines, T, L},  // reference TARGET".
    LEVELS=$(sed -n 's/^ *{\([0-9]*\), *[0-9]*, *[0-9]*, *[0-9]*, *[0-9]*}, *\(.*\)/\1 \2/p' \
        "$repo/src/search/strength.cpp" |
        awk '{ t = $1 < 1350 ? 1350 : $1 > 2850 ? 2850 : $1
               if ($2 == "//" && $3 == "reference" && $4 ~ /^[0-9]+$/) t = $4
               printf "%s:%s ", $1, t }')
fi

log() { echo "$(date '+%F %T') $*" | tee -a "$out/calibration.log"; }

started=$(date +%s)
for level in $LEVELS; do
    elo=${level%%:*} target=${level##*:}
    prefix=$out/level-$elo-vs-$target
    if [ ! -s "$prefix.result" ]; then
        log "UCI_Elo $elo against the reference at $target: $games games at $TC"
        "$here/reference_match.sh" "$prefix" "$target" "$games" UCI_LimitStrength=true \
            "UCI_Elo=$elo" >> "$out/calibration.log" 2>&1 ||
            log "UCI_Elo $elo: a game was forfeited; see $prefix-a.log and $prefix-b.log"
        log "UCI_Elo $elo against $target: $(cat "$prefix.result") (W D L of Tolvo)"
    fi
done
log "this run: $(( ($(date +%s) - started) / 60 )) minutes of two cores"

# The table: each level's gap to the reference with its 95% interval (from the win, draw and
# loss counts), and its rating.
for level in $LEVELS; do
    elo=${level%%:*} target=${level##*:}
    echo "$elo $target $(cat "$out/level-$elo-vs-$target.result")"
done | awk '
function elo(s) { return 400 * log(s / (1 - s)) / log(10) }
function clampscore(s) { return s < 0.001 ? 0.001 : s > 0.999 ? 0.999 : s }
{
    n = $3 + $4 + $5; s = ($3 + $4 / 2) / n
    v = ($3 * (1 - s) ^ 2 + $4 * (0.5 - s) ^ 2 + $5 * s ^ 2) / n
    se = sqrt(v / n)
    gap = elo(clampscore(s)); lo = elo(clampscore(s - 1.96 * se)); hi = elo(clampscore(s + 1.96 * se))
    printf "UCI_Elo %s against %s: %d games +%d =%d -%d, score %.1f%% (%.1f-%.1f%%), gap %+.0f (%+.0f..%+.0f), rating %.0f\n",
        $1, $2, n, $3, $4, $5, 100 * s, 100 * (s - 1.96 * se), 100 * (s + 1.96 * se), gap, lo, hi, $2 + gap
}' | tee "$out/table.txt"
