#!/bin/bash
# A resumable match of Tolvo against an outside engine of Debian's packages: `ethereal-chess`,
# `toga2` or `stockfish` (optionally at its own "UCI_LimitStrength"/"UCI_Elo"), used only as an
# opponent, never read and never a source of data, at Threads 1 and Hash 16. Installs the
# package when it is missing. tolvo-selfplay plays two games at a time, each opening of the
# file twice with colours swapped, and appends every game to OUT_PREFIX.results as it ends: run
# again with the same OUT_PREFIX, the match goes on where it stopped (an interrupted game is
# played again), and a finished match only prints its result.
#
#   tools/calibration/outside_match.sh OUT_PREFIX OPPONENT GAMES [NAME=VALUE ...]
#
# OPPONENT: ethereal-chess, toga2, stockfish, or stockfish@ELO (limited strength at UCI_Elo ELO).
# NAME=VALUE are Tolvo's options ("Use NNUE=true", "Hash=16").
# Environment: TC (default 10+0.1), OPENINGS (default tools/calibration/openings.fen; GAMES/2
# of them are used), ENGINE (Tolvo's command, default BUILD/tolvo), BUILD (where tolvo-selfplay
# is, default build/), CONCURRENCY (games at once, default 2), PROGRAM (the opponent's command,
# default the package's program; the package is then not installed, and OPPONENT only names it).
# Writes OUT_PREFIX.results, OUT_PREFIX.pgn and OUT_PREFIX.log (the referee's output, appended
# run after run) and prints the result: W-D-L of Tolvo, pairs, Elo with its 95% interval, LOS.
# Exits 1 when a game on file was forfeited (an illegal move, a crash, a hang, a time loss).
set -euo pipefail

if [ $# -lt 3 ]; then
    sed -n '2,21p' "$0" >&2
    exit 2
fi
out=$1 opponent=$2 games=$3
shift 3

here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
build=${BUILD:-$repo/build}
engine=${ENGINE:-$build/tolvo}
openings=${OPENINGS:-$here/openings.fen}
tc=${TC:-10+0.1}
concurrency=${CONCURRENCY:-2}

package=${opponent%%@*}
opponent_options=(--option2 Threads=1 --option2 Hash=16)
# With PROGRAM given, OPPONENT is only its name in the log (NAME or NAME@ELO).
case "${PROGRAM:+program}:$opponent" in
    :ethereal-chess | :toga2 | :stockfish | :stockfish@* | program:*) ;;
    *)
        echo "outside_match.sh: the opponent is ethereal-chess, toga2, stockfish or stockfish@ELO" >&2
        exit 2 ;;
esac
if [ "$package" != "$opponent" ]; then
    opponent_options+=(--option2 UCI_LimitStrength=true --option2 "UCI_Elo=${opponent#*@}")
fi

# The package's program, from the files it installed.
program() { dpkg -L "$package" 2>/dev/null | grep -E '^/usr/(games|bin)/[^/]+$' | head -n 1 || true; }
binary=${PROGRAM:-$(program)}
if [ -z "$binary" ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get update >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$package" >&2
    binary=$(program)
fi
if [ -z "$binary" ]; then
    echo "outside_match.sh: the package $package installed no program" >&2
    exit 2
fi

tolvo_options=()
for option in "$@"; do tolvo_options+=(--option1 "$option"); done
mkdir -p "$(dirname "$out")"
echo "$(date '+%F %T') $engine ${*:-} against $opponent ($binary): $games games at $tc" >> "$out.log"
status=0
"$build/tolvo-selfplay" --games "$games" --tc "$tc" --concurrency "$concurrency" \
    --openings "$openings" --results "$out.results" --pgn "$out.pgn" \
    --engine "$engine" --engine "$binary" "${tolvo_options[@]}" "${opponent_options[@]}" \
    >> "$out.log" 2>&1 || status=$?
if [ $status -ge 2 ]; then
    tail -n 5 "$out.log" >&2
    exit $status
fi
# The last tally: the counts of every game on file, played by this run or an earlier one.
grep -E '^[0-9]+ games \(' "$out.log" | tail -n 1
grep -E '^[0-9]+ games: ' "$out.log" | tail -n 1
exit $status
