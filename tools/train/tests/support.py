"""Records built byte by byte from the documented layout, independently of the reader."""

import struct

import numpy as np

import records as rec

START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1'


def pack_record(pieces, black_to_move=False, score=0, result=0, move=0, ply=0, version=1):
    """32 bytes: pieces maps square -> (colour, type)."""
    occupancy = 0
    nibbles = []
    for square in sorted(pieces):
        occupancy |= 1 << square
        colour, ptype = pieces[square]
        nibbles.append(colour * 8 + ptype)
    nibbles += [0] * (32 - len(nibbles))
    packed = bytes(nibbles[2 * i] | (nibbles[2 * i + 1] << 4) for i in range(16))
    flags = (version << 4) | int(black_to_move)
    return struct.pack('<Q16shbBHH', occupancy, packed, score, result, flags, move, ply)


def parse_placement(fen):
    """square -> (colour, type) from a FEN's first field."""
    pieces = {}
    for r, text in enumerate(fen.split()[0].split('/')):
        f = 0
        for ch in text:
            if ch.isdigit():
                f += int(ch)
            else:
                pieces[(7 - r) * 8 + f] = (0 if ch.isupper() else 1, 'pnbrqk'.index(ch.lower()))
                f += 1
    return pieces


def mirror(pieces):
    """The colour mirror: ranks flipped, colours swapped."""
    return {sq ^ 56: (1 - c, t) for sq, (c, t) in pieces.items()}


def as_records(blobs):
    return np.frombuffer(b''.join(blobs), dtype=rec.RECORD_DTYPE)


def random_pieces(rng, count=None):
    """A random placement with one king each and up to 32 pieces (not necessarily legal)."""
    count = int(rng.integers(2, 33)) if count is None else count
    squares = rng.permutation(64)[:count]
    pieces = {int(squares[0]): (0, 5), int(squares[1]): (1, 5)}
    for sq in squares[2:]:
        pieces[int(sq)] = (int(rng.integers(0, 2)), int(rng.integers(0, 5)))
    return pieces


def reflect(pieces):
    """The left-right reflection: files a and h swapped."""
    return {sq ^ 7: piece for sq, piece in pieces.items()}
