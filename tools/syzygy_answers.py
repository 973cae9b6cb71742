#!/usr/bin/python3
"""Random legal 3- and 4-piece positions and the tablebase answers of Debian's `fathom` prober.

Writes tests/data/syzygy_answers.txt, which the tablebase layer's tests compare their own
answers with. Run from the repository's root, with Debian's `fathom` package installed:

    tools/syzygy_answers.py --count 2400 --seed 34 --out tests/data/syzygy_answers.txt

Each line is one position, fields separated by '|':

    FEN | WDL | DTZ | winning moves | drawing moves | losing moves |
        best DTZ rank | moves of that rank | best WDL rank | moves of that rank

WDL and DTZ are the prober's "[WDL]" and "[DTZ]" for the side to move, with the position's
fifty-move counter (DTZ unsigned, as it prints it); the move counts are the lengths of its
"WinningMoves", "DrawingMoves" (cursed wins and blessed losses included) and "LosingMoves"
lists; the ranks are the highest of its DTZ and WDL root rankings (fifty-move rule on) and how
many moves have them. Positions where the side to move has no legal move are left out.
"""

import argparse
import random
import re
import subprocess
import sys

PIECES = "QRBNP"
KNIGHT = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
KING = [(1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1)]
ROOK = [(1, 0), (0, 1), (-1, 0), (0, -1)]
BISHOP = [(1, 1), (-1, 1), (-1, -1), (1, -1)]


def materials():
    """Every 3- and 4-piece material: (strong side's pieces, weak side's pieces)."""
    out = []
    for a in PIECES:
        out.append((a, ""))
        for b in PIECES:
            if PIECES.index(b) >= PIECES.index(a):
                out.append((a + b, ""))
            out.append((a, b))
    return out


def attacked(board, square, by_white):
    """Whether a piece of the side by_white attacks square; board maps (file, rank) to letters."""
    f, r = square

    def piece(df, dr):
        return board.get((f + df, r + dr))

    mine = str.isupper if by_white else str.islower
    for df, dr in KNIGHT:
        p = piece(df, dr)
        if p and mine(p) and p.upper() == "N":
            return True
    for df, dr in KING:
        p = piece(df, dr)
        if p and mine(p) and p.upper() == "K":
            return True
    pawn_rank = -1 if by_white else 1
    for df in (-1, 1):
        p = piece(df, pawn_rank)
        if p and mine(p) and p.upper() == "P":
            return True
    for dirs, kinds in ((ROOK, "RQ"), (BISHOP, "BQ")):
        for df, dr in dirs:
            x, y = f + df, r + dr
            while 0 <= x < 8 and 0 <= y < 8:
                p = board.get((x, y))
                if p:
                    if mine(p) and p.upper() in kinds:
                        return True
                    break
                x, y = x + df, y + dr
    return False


def fen_of(board, white_to_move, ep, rule50):
    rows = []
    for r in range(7, -1, -1):
        row, empty = "", 0
        for f in range(8):
            p = board.get((f, r))
            if p:
                row += (str(empty) if empty else "") + p
                empty = 0
            else:
                empty += 1
        rows.append(row + (str(empty) if empty else ""))
    ep_text = "-" if ep is None else "abcdefgh"[ep[0]] + str(ep[1] + 1)
    return "%s %s - %s %d 1" % ("/".join(rows), "w" if white_to_move else "b", ep_text, rule50)


def random_position(rng):
    strong, weak = rng.choice(materials())
    white_strong = rng.random() < 0.5
    white_to_move = rng.random() < 0.5
    letters = ["K"] + list(strong) if white_strong else ["K"] + list(weak)
    letters = [c.upper() for c in letters] + [c.lower() for c in (["K"] + list(weak if white_strong else strong))]
    for _ in range(1000):
        board = {}
        ok = True
        for p in letters:
            square = (rng.randrange(8), rng.randrange(8))
            if square in board or (p.upper() == "P" and square[1] in (0, 7)):
                ok = False
                break
            board[square] = p
        if not ok:
            continue
        kings = [s for s, p in board.items() if p == "K"] + [s for s, p in board.items() if p == "k"]
        if max(abs(kings[0][0] - kings[1][0]), abs(kings[0][1] - kings[1][1])) <= 1:
            continue
        # The side not to move must not be in check.
        other_king = kings[1] if white_to_move else kings[0]
        if attacked(board, other_king, white_to_move):
            continue
        return board, white_to_move, None
    return None


def en_passant_position(rng):
    """KPvKP with the side to move able to take the pawn that has just moved two squares."""
    white_to_move = rng.random() < 0.5
    for _ in range(1000):
        f = rng.randrange(8)
        capturer_file = f + rng.choice((-1, 1))
        if not 0 <= capturer_file < 8:
            continue
        # White to move: a black pawn just went from f7 to f5, a white pawn stands beside it.
        pushed_rank, ep_rank, start_rank = (4, 5, 6) if white_to_move else (3, 2, 1)
        board = {
            (f, pushed_rank): "p" if white_to_move else "P",
            (capturer_file, pushed_rank): "P" if white_to_move else "p",
        }
        for king in ("K", "k"):
            square = (rng.randrange(8), rng.randrange(8))
            if square in board or square in ((f, ep_rank), (f, start_rank)):
                break
            board[square] = king
        if len(board) != 4:
            continue
        kings = [s for s, p in board.items() if p == "K"] + [s for s, p in board.items() if p == "k"]
        if max(abs(kings[0][0] - kings[1][0]), abs(kings[0][1] - kings[1][1])) <= 1:
            continue
        other_king = kings[1] if white_to_move else kings[0]
        if attacked(board, other_king, white_to_move):
            continue
        # Before the push the pawn stood on its start square: the mover's king was not in check
        # from it there either (otherwise the push could not have been played into this).
        before = dict(board)
        del before[(f, pushed_rank)]
        before[(f, start_rank)] = "p" if white_to_move else "P"
        if attacked(before, kings[0] if white_to_move else kings[1], not white_to_move):
            continue
        return board, white_to_move, (f, ep_rank)
    return None


def probe(fathom, path, fen):
    out = subprocess.run([fathom, "--path=" + path, fen], capture_output=True, text=True,
                         timeout=60).stdout
    header = dict(re.findall(r'^\[(\w+) "([^"]*)"\]$', out, re.M))
    if "WDL" not in header:
        return None
    counts = [len([m for m in header[k].split(", ") if m]) for k in
              ("WinningMoves", "DrawingMoves", "LosingMoves")]
    best = []
    for section in ("DTZ", "WDL"):
        block = out.split("moves returned from %s probe" % section)[1]
        block = block.split("moves returned from")[0]
        ranks = [int(r) for r in re.findall(r" rank = (-?\d+) ", block)]
        if not ranks:
            return None
        best += [max(ranks), ranks.count(max(ranks))]
    return [fen, header["WDL"], header["DTZ"]] + [str(c) for c in counts] + [str(b) for b in best]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=2400)
    parser.add_argument("--seed", type=int, default=34)
    parser.add_argument("--tables", default="tests/data/syzygy")
    parser.add_argument("--fathom", default="/usr/games/fathom")
    parser.add_argument("--out", default="tests/data/syzygy_answers.txt")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    lines, seen = [], set()
    while len(lines) < args.count:
        made = en_passant_position(rng) if rng.random() < 0.15 else random_position(rng)
        if made is None:
            continue
        board, white_to_move, ep = made
        # Mostly a fresh counter; some positions carry one, for the cursed wins and blessed losses.
        rule50 = 0 if rng.random() < 0.75 else rng.randrange(1, 100)
        fen = fen_of(board, white_to_move, ep, rule50)
        if fen in seen:
            continue
        seen.add(fen)
        answer = probe(args.fathom, args.tables, fen)
        if answer is None or sum(int(c) for c in answer[3:6]) == 0:
            continue
        lines.append(" | ".join(answer))
    with open(args.out, "w") as f:
        f.write("# Written by tools/syzygy_answers.py --count %d --seed %d with Debian's fathom "
                "1.0+git.20190811.97fb5c-1 (see the script for the fields).\n"
                % (args.count, args.seed))
        f.write("\n".join(lines) + "\n")
    print("%d positions, %d with an en-passant square" %
          (len(lines), sum(1 for l in lines if l.split(" ")[3] != "-")), file=sys.stderr)


if __name__ == "__main__":
    main()
