#!/usr/bin/python3
"""Trains the evaluation network on tolvo-datagen records and writes the network file.

    /usr/bin/python3 tools/train/train.py --data DIR --out networks/default.nnue \
        [--epochs E] [--seed S] [--screlu] [--buckets 8] [--king-mirror] ...

Prints what the network's note needs: positions and games read, K, lambda, the loss per
epoch with its time, the quantisation error and the slope of the network's scores against
the classical evaluation's on held-out positions.
"""

import argparse
import io
import math
import os
import re
import subprocess
import sys
import time

import numpy as np
import torch

import fitting
import network as nw
import records as rec

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
K_FIT_SAMPLE = 2_000_000


def parse_args(argv=None):
    p = argparse.ArgumentParser(description='Trains the evaluation network.')
    p.add_argument('--data', required=True, nargs='+',
                   help='record files, directories of *.bin files, or globs')
    p.add_argument('--out', default='networks/default.nnue', help='network file to write')
    p.add_argument('--checkpoint', help='float model to save (default: OUT with .pt)')
    p.add_argument('--state', help='training state saved after every epoch '
                   '(default: OUT with .state)')
    p.add_argument('--resume', action='store_true',
                   help='continue from the state file after its last complete epoch')
    p.add_argument('--stop-after', type=int, metavar='E',
                   help='save the state after epoch E and stop (continue with --resume)')
    p.add_argument('--epochs', type=int, default=4)
    p.add_argument('--batch', type=int, default=4096, help='positions per step')
    p.add_argument('--lr', type=float, default=5e-3, help='Adam learning rate at the start')
    p.add_argument('--lr-end', type=float, default=0.05,
                   help='final learning rate as a fraction of --lr (cosine decay)')
    p.add_argument('--weight-decay', type=float, default=0.0,
                   help="AdamW's decoupled weight decay")
    p.add_argument('--lambda', dest='lam', type=float, default=1.0,
                   help='weight of the search score in the target (the rest is the result)')
    p.add_argument('--no-mirror', dest='mirror', action='store_false',
                   help='do not reflect half of each batch left to right')
    p.add_argument('--screlu', action='store_true',
                   help='squared clipped ReLU on the first layer (default: clipped ReLU)')
    p.add_argument('--buckets', type=int, default=1, choices=nw.BUCKET_CHOICES,
                   help='output buckets by the number of pieces on the board')
    p.add_argument('--king-mirror', action='store_true',
                   help="reflect each side's view so that its king stands on files e-h "
                        '(makes the reflection of half of each batch redundant: it is off)')
    p.add_argument('--k', type=float, help='use this K instead of fitting it')
    p.add_argument('--holdout', type=int, default=20,
                   help='every N-th game goes to validation (whole games)')
    p.add_argument('--qat-epochs', type=int, default=2,
                   help='last epochs trained on the weights as the integer file rounds them')
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--threads', type=int, default=1,
                   help='torch threads; results repeat exactly only with the same number')
    p.add_argument('--max-positions', type=int, help='use only the first N records')
    p.add_argument('--eval-tool', default=os.path.join(REPO, 'build', 'tolvo-eval'),
                   help="classical evaluator for the slope ('none' to skip)")
    p.add_argument('--classical-scores',
                   help="file of 'FEN ;eval N' lines to take classical scores from instead")
    p.add_argument('--slope-positions', type=int, default=20000,
                   help='held-out positions for the slope')
    p.add_argument('--slope-limit', type=float, default=1000.0,
                   help='only scores within +-this count for the slope')
    p.add_argument('--quiet', action='store_true', help='no progress lines within an epoch')
    args = p.parse_args(argv)
    if args.epochs < 1 or args.batch < 1 or args.holdout < 2:
        p.error('--epochs and --batch must be positive and --holdout at least 2')
    if not 0.0 <= args.lam <= 1.0:
        p.error('--lambda must lie in [0, 1]')
    return args


# What a resumed run must share with the run that saved the state: everything that decides
# the data, the model or the order of the batches.
STATE_ARGS = ('data', 'epochs', 'batch', 'lr', 'lr_end', 'weight_decay', 'lam', 'mirror',
              'screlu', 'buckets', 'king_mirror', 'k', 'holdout', 'qat_epochs', 'seed',
              'max_positions')


def save_state(path, args, epoch, model, opt, sched, rng, history, epoch_times):
    """Everything the next epoch depends on, written whole or not at all."""
    buffer = io.BytesIO()
    torch.save({'args': {name: getattr(args, name) for name in STATE_ARGS}, 'epoch': epoch,
                'model': model.state_dict(), 'optimizer': opt.state_dict(),
                'scheduler': sched.state_dict(), 'rng': rng.bit_generator.state,
                'torch_rng': torch.get_rng_state(), 'history': history,
                'epoch_times': epoch_times}, buffer)
    nw.write_file(buffer.getvalue(), path)


def load_state(path, args, model, opt, sched, rng):
    """Restores a saved state into the objects of this run; returns (epoch, history,
    epoch times). Refuses a state saved with other settings."""
    state = torch.load(path, map_location='cpu')
    saved = state['args']
    differ = [name for name in STATE_ARGS if saved.get(name) != getattr(args, name)]
    if differ:
        sys.exit(f'{path} was saved with other settings ({", ".join(differ)}); '
                 'rerun with those or without --resume')
    model.load_state_dict(state['model'])
    opt.load_state_dict(state['optimizer'])
    sched.load_state_dict(state['scheduler'])
    rng.bit_generator.state = state['rng']
    torch.set_rng_state(state['torch_rng'])
    return state['epoch'], state['history'], state['epoch_times']


def log(*parts):
    print(*parts, flush=True)


class Batches:
    """Shuffled batches of training records with their blended targets."""

    def __init__(self, data, indices, k, lam, inputs, mirror=False):
        self.data, self.indices, self.k, self.lam = data, indices, k, lam
        self.inputs, self.mirror = inputs, mirror

    def targets(self, records):
        return fitting.blended_target(records['score'], rec.stm_result(records), self.k,
                                      self.lam)

    def tensors(self, idx, mirror=None):
        records = self.data.take(np.sort(idx))
        target = torch.from_numpy(self.targets(records).astype(np.float32))
        return self.inputs(records, mirror), target

    def epoch(self, rng, batch):
        order = rng.permutation(self.indices)
        for start in range(0, len(order), batch):
            idx = order[start:start + batch]
            mirror = rng.random(len(idx)) < 0.5 if self.mirror else None
            yield self.tensors(idx, mirror)


def loss_fn(logits, target):
    return torch.mean((torch.sigmoid(logits) - target) ** 2)


@torch.no_grad()
def validation_loss(model, batches, batch=16384):
    model.eval()
    total, count = 0.0, 0
    for start in range(0, len(batches.indices), batch):
        (inputs, target) = batches.tensors(batches.indices[start:start + batch])
        total += float(loss_fn(model(*inputs), target)) * len(target)
        count += len(target)
    model.train()
    return total / max(count, 1)


def baseline_loss(data, indices, k, lam):
    """Loss of predicting sigmoid(search score / K) itself: how far the target is from the
    search's own view."""
    records = data.take(indices)
    target = fitting.blended_target(records['score'], rec.stm_result(records), k, lam)
    guess = fitting.sigmoid(records['score'] / k)
    return float(np.mean((guess - target) ** 2))


def classical_from_tool(tool, fens):
    """Scores of the classical evaluation: FEN lines through tolvo-eval ('FEN ;eval N').
    Positions it refuses get nan."""
    # The tool exits with 1 when it refused a position; those lines say ';error'.
    out = subprocess.run([tool], input='\n'.join(fens) + '\n', capture_output=True, text=True,
                         timeout=600).stdout.splitlines()
    scores = np.full(len(fens), np.nan)
    lines = [line for line in out if ';' in line]
    if len(lines) != len(fens):
        raise RuntimeError(f'{tool} answered {len(lines)} lines for {len(fens)} positions')
    for i, line in enumerate(lines):
        m = re.search(r';eval (-?\d+)\s*$', line)
        if m and line.split(';')[0].split()[:2] == fens[i].split()[:2]:
            scores[i] = float(m.group(1))
    return scores


def read_classical_file(path):
    """'FEN ;eval N' lines (tolvo-eval's output): the positions and their scores."""
    fens, scores = [], []
    with open(path) as f:
        for line in f:
            m = re.match(r'\s*(.+?)\s*;eval (-?\d+)\s*$', line)
            if m:
                fens.append(m.group(1))
                scores.append(float(m.group(2)))
    return fens, np.array(scores)


def report_slope(label, y, x, limit):
    b, a, n, corr = fitting.slope(y, x, limit)
    log(f'slope {label}: {b:.3f} (intercept {a:.1f} cp, correlation {corr:.3f}, '
        f'{n} positions within +-{limit:g} cp)')
    return b


def main(argv=None):
    run_started = time.perf_counter()
    args = parse_args(argv)
    torch.manual_seed(args.seed)
    torch.set_num_threads(args.threads)
    torch.use_deterministic_algorithms(True)
    rng = np.random.default_rng(args.seed)

    data = rec.RecordSet(args.data)
    log(f'files: {len(data.paths)} ({", ".join(os.path.basename(p) for p in data.paths[:4])}'
        f'{", ..." if len(data.paths) > 4 else ""})')
    game = data.game_ids()
    total = len(data) if args.max_positions is None else min(len(data), args.max_positions)
    valid = np.zeros(len(data), dtype=bool)
    for start in range(0, total, 1 << 20):
        end = min(total, start + (1 << 20))
        valid[start:end] = rec.valid_mask(data.take(np.arange(start, end)))
    invalid = total - int(valid.sum())
    held = game % args.holdout == args.holdout - 1
    train_idx = np.nonzero(valid & ~held)[0]
    val_idx = np.nonzero(valid & held)[0]
    games = int(game[total - 1]) + 1 if total else 0
    log(f'positions: {total} in {games} games; {invalid} malformed records skipped')
    log(f'training: {len(train_idx)} positions; validation: {len(val_idx)} positions '
        f'(every {args.holdout}th game)')
    if not len(train_idx) or not len(val_idx):
        sys.exit('not enough data for a training and a validation set')

    sample = train_idx if len(train_idx) <= K_FIT_SAMPLE else np.sort(
        rng.choice(train_idx, K_FIT_SAMPLE, replace=False))
    sample_records = data.take(sample)
    k_fit = fitting.fit_k(sample_records['score'], rec.stm_result(sample_records))
    k = float(round(args.k if args.k is not None else k_fit))
    k = min(max(k, nw.K_MIN), nw.K_MAX)
    fit_loss = fitting.result_log_loss(sample_records['score'], rec.stm_result(sample_records),
                                       k_fit)
    log(f'K fitted: {k_fit:.1f} (log loss {fit_loss:.5f} on {len(sample)} positions); '
        f'K used: {k:.0f}')
    log(f'lambda: {args.lam} (target = lambda * sigmoid(score / K) + (1 - lambda) * result)')

    model = nw.Net(nw.DEFAULT_HIDDEN, k, screlu=args.screlu, buckets=args.buckets,
                   king_mirror=args.king_mirror)
    model.train()
    # With king mirroring a reflected board has the same features as the board itself.
    reflect = args.mirror and not args.king_mirror
    train = Batches(data, train_idx, k, args.lam, model.inputs, reflect)
    val = Batches(data, val_idx, k, args.lam, model.inputs)
    log(f'validation loss of sigmoid(search score / K) itself: '
        f'{baseline_loss(data, val_idx, k, args.lam):.6f}')
    opt = torch.optim.AdamW(model.parameters(), lr=args.lr, weight_decay=args.weight_decay)
    steps = args.epochs * math.ceil(len(train_idx) / args.batch)

    def cosine(step):
        return args.lr_end + (1 - args.lr_end) * 0.5 * (1 + math.cos(math.pi * step / steps))

    sched = torch.optim.lr_scheduler.LambdaLR(opt, lambda step: cosine(min(step, steps)))
    if reflect:
        reflection = 'half of each batch reflected'
    elif args.king_mirror and args.mirror:
        reflection = 'no reflection of batches (king mirroring makes it redundant)'
    else:
        reflection = 'no reflection of batches'
    log(f'network: hidden {model.hidden}, {model.description()}')
    log(f'batch {args.batch}, lr {args.lr} cosine to '
        f'{args.lr * args.lr_end:g}, weight decay {args.weight_decay}, epochs {args.epochs} '
        f'(last {args.qat_epochs} on rounded weights), {reflection}, '
        f'seed {args.seed}, threads {args.threads}')
    state_path = args.state or os.path.splitext(args.out)[0] + '.state'
    done = 0
    if args.resume and os.path.exists(state_path):
        done, history, epoch_times = load_state(state_path, args, model, opt, sched, rng)
        log(f'resumed from {state_path} after epoch {done}: validation {history[-1]:.6f}')
    else:
        history = [validation_loss(model, val)]
        epoch_times = []
        log(f'epoch 0: validation {history[0]:.6f}')

    for epoch in range(done + 1, args.epochs + 1):
        model.fake_quant = epoch > args.epochs - args.qat_epochs
        started, cpu_started = time.perf_counter(), time.process_time()
        total_loss, seen = 0.0, 0
        for step, (inputs, target) in enumerate(train.epoch(rng, args.batch)):
            opt.zero_grad(set_to_none=True)
            loss = loss_fn(model(*inputs), target)
            loss.backward()
            opt.step()
            sched.step()
            model.clamp_to_limits()
            total_loss += float(loss) * len(target)
            seen += len(target)
            if not args.quiet and step % 500 == 499:
                log(f'  epoch {epoch}: {seen} positions, loss {total_loss / seen:.6f}, '
                    f'{time.perf_counter() - started:.0f} s')
        elapsed = time.perf_counter() - started
        cpu = time.process_time() - cpu_started
        epoch_times.append(elapsed)
        history.append(validation_loss(model, val))
        log(f'epoch {epoch}: train {total_loss / seen:.6f} validation '
            f'{history[-1]:.6f} {elapsed:.1f} s '
            f'({elapsed / seen * 1e6:.1f} s per million positions, CPU {cpu / seen * 1e6:.1f} s)'
            f'{" rounded weights" if model.fake_quant else ""}')
        save_state(state_path, args, epoch, model, opt, sched, rng, history, epoch_times)
        if args.stop_after is not None and epoch == args.stop_after < args.epochs:
            log(f'stopped after epoch {epoch}; state in {state_path}, continue with --resume')
            return {'validation_losses': history, 'stopped_after': epoch}

    model.eval()
    val_loss = history[-1]
    checkpoint = args.checkpoint or os.path.splitext(args.out)[0] + '.pt'
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    quantised = nw.quantise(model)
    size = nw.write_network(quantised, args.out)
    reread = nw.read_network(args.out)
    nw.save_checkpoint(model, checkpoint, k_fit=k_fit, lam=args.lam, epochs=args.epochs,
                       seed=args.seed, validation_loss=val_loss)
    log(f'wrote {args.out} ({size} bytes) and {checkpoint}')

    check = val_idx[np.linspace(0, len(val_idx) - 1, min(len(val_idx), args.slope_positions))
                    .astype(np.int64)]
    check = np.unique(check)
    check_records = data.take(check)
    float_cp = nw.evaluate_records(model, check_records)
    int_cp = nw.evaluate_records(reread, check_records)
    diff = np.abs(float_cp - int_cp)
    log(f'integer network against the float model on {len(check)} held-out positions: '
        f'mean {diff.mean():.2f} cp, max {diff.max():.2f} cp')
    search_slope = report_slope('of network scores against search scores', int_cp,
                                check_records['score'], args.slope_limit)

    slope = None
    if args.classical_scores:
        fens, classical = read_classical_file(args.classical_scores)
        net_cp = nw.evaluate_records(reread, rec.records_from_fens(fens))
        slope = report_slope(
            f'of network scores against classical scores ({args.classical_scores})', net_cp,
            classical, args.slope_limit)
    elif args.eval_tool != 'none' and os.access(args.eval_tool, os.X_OK):
        fens = [rec.to_fen(r) for r in check_records]
        classical = classical_from_tool(args.eval_tool, fens)
        ok = ~np.isnan(classical)
        slope = report_slope('of network scores against classical scores',
                             int_cp[ok], classical[ok], args.slope_limit)
        report_slope('of search scores against classical scores',
                     check_records['score'][ok], classical[ok], args.slope_limit)
    else:
        log(f'no classical evaluator at {args.eval_tool}: slope against it not measured')

    per_million = sum(epoch_times) / len(epoch_times) / len(train_idx) * 1e6
    log('summary: '
        f'positions {total}, games {games}, K {k:.0f} (fitted {k_fit:.1f}), lambda {args.lam}, '
        f'{model.description()}, '
        f'epochs {args.epochs}, validation loss {val_loss:.6f}, '
        f'{per_million:.1f} s per epoch per million positions'
        + (f', slope against classical {slope:.3f}' if slope is not None else '')
        + f', whole run {time.perf_counter() - run_started:.0f} s')
    return {'validation_losses': history, 'k': k, 'k_fit': k_fit, 'slope': slope,
            'search_slope': search_slope,
            'quantisation_error': float(diff.max()), 'seconds_per_million': per_million}


if __name__ == '__main__':
    main()
