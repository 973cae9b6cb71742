#!/bin/sh
# Remakes networks/default.nnue from a fresh clone: Tolvo's own games, then the training run.
#
#   tools/train/remake_default_network.sh [DATA_DIR]     (default: $HOME/tolvo-data)
#
# The games take about 90 minutes of two cores; each data run skips the files it has already
# completed, so the script can be stopped and started again. The same data, seed and thread
# count give the same network byte for byte. DATA_DIR should lie outside the work tree.
set -eu
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
data=${1:-$HOME/tolvo-data}
mkdir -p "$data"
cd "$repo"
make build >/dev/null
for run in "gen1 1000 185000" "gen2 2000 1250000" "gen3 3000 600000"; do
    set -- $run
    build/tolvo-datagen --jobs 2 --seed "$2" --positions "$3" --out "$data/$1" 2>>"$data/$1.log"
done
make train TRAIN_DATA="$data" TRAIN_OUT=networks/default.nnue \
    TRAIN_FLAGS="--lambda 1.0 --epochs 4 --seed 1"
