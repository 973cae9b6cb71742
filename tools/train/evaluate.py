#!/usr/bin/python3
"""Scores of a network on training records, for comparing the engine with the trainer.

    /usr/bin/python3 tools/train/evaluate.py NET RECORDS [--count N] [--fen]
        one score per record, for the side to move: integers for a network file of format
        version 2 (the engine's arithmetic), floats for a checkpoint (.pt, the float model as
        trained)
    /usr/bin/python3 tools/train/evaluate.py NET RECORDS --against FILE [--max-mean CP]
        [--max-abs CP]
        compares with other scores of the same records, one per line in FILE (the last
        integer of each line counts, so the engine's own output can be given as it is); exits
        with 1 when the mean or the largest difference is beyond its bound
"""

import argparse
import re
import sys

import numpy as np

import network as nw
import records as rec


def read_scores(path):
    scores = []
    with open(path) as f:
        for line in f:
            found = re.findall(r'-?\d+', line.split(';')[-1])
            if found:
                scores.append(int(found[-1]))
    return np.array(scores, dtype=np.float64)


def main(argv=None):
    p = argparse.ArgumentParser(description='Scores of a network on training records.')
    p.add_argument('net', help='network file or .pt checkpoint')
    p.add_argument('records', help='record file, directory of *.bin files, or glob')
    p.add_argument('--count', type=int, help='only the first N records')
    p.add_argument('--fen', action='store_true', help="print 'FEN ;score N' lines")
    p.add_argument('--against', help='file of scores to compare with')
    p.add_argument('--max-mean', type=float, default=3.0)
    p.add_argument('--max-abs', type=float, default=15.0)
    args = p.parse_args(argv)

    try:
        model = nw.load_any(args.net)
    except ValueError as e:
        hint = ' (tools/train/convert_v1.py converts it)' if 'format version 1;' in str(e) else ''
        sys.exit(f'{args.net}: {e}{hint}')
    data = rec.RecordSet(args.records)
    count = len(data) if args.count is None else min(args.count, len(data))
    records = data.take(np.arange(count))
    scores = nw.evaluate_records(model, records)

    if args.against:
        other = read_scores(args.against)
        if len(other) != len(scores):
            sys.exit(f'{args.against} has {len(other)} scores for {len(scores)} records')
        diff = np.abs(scores - other)
        worst = int(diff.argmax()) if len(diff) else 0
        print(f'{len(diff)} positions: mean difference {diff.mean():.2f} cp, '
              f'max {diff.max():.2f} cp (record {worst}: {scores[worst]:.2f} against '
              f'{other[worst]:.0f}, {rec.to_fen(records[worst])})')
        return 0 if diff.mean() <= args.max_mean and diff.max() <= args.max_abs else 1

    integer = isinstance(model, nw.QuantisedNetwork)
    for r, s in zip(records, scores):
        text = f'{int(s)}' if integer else f'{s:.2f}'
        print(f'{rec.to_fen(r)} ;score {text}' if args.fen else text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
