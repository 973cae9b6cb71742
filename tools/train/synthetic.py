"""Synthetic training records for tests and timing: random piece placements (not
necessarily legal chess positions) scored by a hidden material and piece-square table, with
results drawn from sigmoid(score / K).

    /usr/bin/python3 tools/train/synthetic.py --out DIR --positions N [--files F] [--seed S]
"""

import argparse
import os

import numpy as np

import records as rec
from fitting import sigmoid

MATERIAL = np.array([100, 300, 320, 500, 900, 0], dtype=np.float64)


def hidden_table(seed=12345):
    """White-view value of each (colour, type, square): material plus a fixed random table."""
    rng = np.random.default_rng(seed)
    table = MATERIAL[:, None] + rng.normal(0.0, 25.0, size=(6, 64))
    white = table
    black = -table[:, np.arange(64) ^ 56]  # Black's pieces mirror White's
    return np.stack([white, black])  # [colour][type][square]


def synthetic_records(count, rng, k=400.0, noise=30.0, draw_rate=0.3, game_length=(20, 80),
                      table=None):
    """count records in games of random length; scores from the side to move's view."""
    table = hidden_table() if table is None else table
    n_pieces = rng.integers(2, 33, size=count)
    squares = np.argsort(rng.random((count, 64)), axis=1)
    board = np.full((count, 64), -1, dtype=np.int64)
    rows = np.arange(count)
    board[rows, squares[:, 0]] = 0 * 8 + 5  # White king
    board[rows, squares[:, 1]] = 1 * 8 + 5  # Black king
    others = rng.integers(0, 5, size=(count, 30)) + 8 * rng.integers(0, 2, size=(count, 30))
    for j in range(30):
        sel = n_pieces > j + 2
        board[rows[sel], squares[sel, j + 2]] = others[sel, j]

    occupied = board >= 0
    r, s = np.nonzero(occupied)
    codes = board[r, s]
    white_value = np.zeros(count)
    np.add.at(white_value, r, table[codes >> 3, codes & 7, s])
    slot = (np.cumsum(occupied, axis=1) - 1)[r, s]
    nib = np.zeros((count, 32), dtype=np.uint8)
    nib[r, slot] = codes
    out = np.zeros(count, dtype=rec.RECORD_DTYPE)
    weights = np.uint64(1) << np.arange(64, dtype=np.uint64)
    out['occupancy'] = (occupied.astype(np.uint64) * weights).sum(axis=1, dtype=np.uint64)
    out['pieces'] = nib[:, 0::2] | (nib[:, 1::2] << 4)

    black = rng.integers(0, 2, size=count)
    sign = 1 - 2 * black
    score = np.clip(np.rint(white_value * sign + rng.normal(0.0, noise, size=count)),
                    -3000, 3000)
    out['score'] = score.astype(np.int16)
    win = rng.random(count) < sigmoid(white_value / k)
    result = np.where(win, 1, -1)
    result[rng.random(count) < draw_rate] = 0
    out['result'] = result
    out['flags'] = (rec.RECORD_VERSION << 4) | black
    out['move'] = rng.integers(0, 1 << 12, size=count)

    ply = np.zeros(count, dtype=np.int64)
    pos = 0
    while pos < count:
        length = int(rng.integers(game_length[0], game_length[1] + 1))
        start = int(rng.integers(8, 20))
        end = min(count, pos + length)
        ply[pos:end] = start + np.cumsum(rng.integers(1, 3, size=end - pos))
        pos = end
    out['ply'] = ply
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', required=True, help='directory for synth-N.bin files')
    parser.add_argument('--positions', type=int, default=1_000_000)
    parser.add_argument('--files', type=int, default=2)
    parser.add_argument('--seed', type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    rng = np.random.default_rng(args.seed)
    per_file = -(-args.positions // args.files)
    for f in range(args.files):
        count = min(per_file, args.positions - f * per_file)
        data = synthetic_records(count, rng)
        path = os.path.join(args.out, f'synth-{args.seed + f}.bin')
        data.tofile(path)
        print(f'{path}: {count} records')


if __name__ == '__main__':
    main()
