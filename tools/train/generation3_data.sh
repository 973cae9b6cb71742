#!/bin/bash
# The training data of the third network, from a fresh clone: each part is played by the
# binary of the commit that made it, built in a worktree of its own under DATA_DIR, so that a
# later change of the engine, the evaluation or the built-in network cannot change the data.
#
#   tools/train/generation3_data.sh [DATA_DIR] [PART ...]     (default: $HOME/tolvo-data)
#
# Parts (default: all):
#   gen2  the second network's data: Tolvo's own games with the hand-written evaluation,
#         4,070,159 positions, played by 47f2d12 (about 100 minutes of two cores);
#   net1  games played and labelled with the second network on (commit 0f0c29e), a quarter of
#         them from 16 random plies kept within +-400 so that unbalanced positions are in the
#         data too: 100 files of 100,000 positions, seeds 5000-5099 (about 4.5 hours of two
#         cores at 620 positions per second and core).
# Every run skips the files it has completed, so the script can be stopped and started again;
# a job with a seed repeats byte for byte. Progress goes to DATA_DIR/PART.log.
# Environment: JOBS (processes at once, default 2), NET1_SEEDS (default "5000 5099", the first
# and last seed of net1).
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
data=${1:-$HOME/tolvo-data}
shift || true
parts=${*:-gen2 net1}
jobs=${JOBS:-2}
read -r first last <<< "${NET1_SEEDS:-5000 5099}"
mkdir -p "$data"

# The datagen tool of a commit, built once in DATA_DIR/src-COMMIT.
datagen_of() {
    local commit=$1 tree=$data/src-$1
    if [ ! -x "$tree/build/tolvo-datagen" ]; then
        [ -d "$tree" ] || git -C "$repo" worktree add --detach "$tree" "$commit" >&2
        cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE=Release -DTOLVO_TESTS=OFF >&2
        cmake --build "$tree/build" -j "$jobs" --target tolvo-datagen >&2
    fi
    echo "$tree/build/tolvo-datagen"
}

# Seeds first..last, `jobs` at a time; each seed writes PREFIX-SEED.bin.
play_seeds() {
    local tool=$1 prefix=$2 from=$3 to=$4 positions=$5
    shift 5
    for ((seed = from; seed <= to; seed += jobs)); do
        local n=$((to - seed + 1 < jobs ? to - seed + 1 : jobs))
        "$tool" --jobs "$n" --seed "$seed" --positions "$positions" --out "$prefix" "$@"
    done
}

for part in $parts; do
    case $part in
    gen2)
        tool=$(datagen_of 47f2d12)
        mkdir -p "$data/gen2"
        for run in "gen1 1000 185000" "gen2 2000 1250000" "gen3 3000 600000"; do
            set -- $run
            "$tool" --jobs 2 --seed "$2" --positions "$3" --out "$data/gen2/$1" 2>> "$data/gen2.log"
        done
        ;;
    net1)
        tool=$(datagen_of 0f0c29e)
        mkdir -p "$data/net1"
        play_seeds "$tool" "$data/net1/net" "$first" "$last" 100000 --nodes 5000 --learned \
            --wide-share 25 --wide-plies 16 --wide-margin 400 2>> "$data/net1.log"
        ;;
    *)
        echo "unknown part $part (gen2, net1)" >&2
        exit 2
        ;;
    esac
done
