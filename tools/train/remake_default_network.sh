#!/bin/sh
# Remakes networks/default.nnue from a fresh clone: Tolvo's own games, then the training run.
#
#   tools/train/remake_default_network.sh [DATA_DIR]     (default: $HOME/tolvo-data)
#
# The data comes from tools/train/generation3_data.sh (each part played by the binary of the
# commit that made it, about 5.5 hours of two cores in all); the training from this clone's
# trainer (16 epochs, about 45 minutes of one core). Every step can be stopped and run again:
# the data runs skip the files they have completed, and the training continues after its last
# complete epoch from DATA_DIR/default.state. The same data, seed and thread count give the
# same network byte for byte. DATA_DIR should lie outside the work tree.
set -eu
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
data=${1:-$HOME/tolvo-data}
cd "$repo"
tools/train/generation3_data.sh "$data"
flags="--epochs 16 --weight-decay 0.01 --lr-end 0.01 --lambda 1.0 --seed 1 --threads 1"
make train TRAIN_DATA="$data/gen2 $data/net1" TRAIN_OUT=networks/default.nnue \
    TRAIN_FLAGS="$flags --resume --state $data/default.state"
