"""Training records written by tolvo-datagen: reading, checking and decoding.

A record is 32 little-endian bytes (layout in tools/datagen/record.h): the occupancy,
one nibble per occupied square (colour * 8 + piece type), the search's score for the side
to move, the game's result from White's side, flags (side to move, record version), the
move played and the ply. Files carry no header; records of one game are contiguous with
increasing plies.
"""

import glob
import os

import numpy as np

RECORD_SIZE = 32
RECORD_VERSION = 1

RECORD_DTYPE = np.dtype([
    ('occupancy', '<u8'),
    ('pieces', 'u1', (16,)),
    ('score', '<i2'),
    ('result', 'i1'),
    ('flags', 'u1'),
    ('move', '<u2'),
    ('ply', '<u2'),
])
assert RECORD_DTYPE.itemsize == RECORD_SIZE

# Feature layout shared with the engine: 768 inputs per perspective.
FEATURES = 768
PIECE_TYPES = 'pnbrqk'
KING = 5
# Output buckets by the number of pieces on the board: 2-5 pieces bucket 0, ..., 30-32 bucket 7.
OUTPUT_BUCKETS = 8
_SQUARES = np.arange(64, dtype=np.uint64)


def find_record_files(source):
    """Expands a file, a directory (its *.bin files) or a glob into a sorted list of files.

    Files still being written (*.part) are never read.
    """
    if os.path.isdir(source):
        paths = glob.glob(os.path.join(source, '*.bin'))
    elif any(ch in source for ch in '*?['):
        paths = glob.glob(source)
    else:
        paths = [source]
    paths = sorted(p for p in paths if not p.endswith('.part') and os.path.isfile(p))
    if not paths:
        raise FileNotFoundError(f'no record files in {source}')
    return paths


class RecordSet:
    """Records of one or many files, memory-mapped, addressed by one global index."""

    def __init__(self, sources):
        """sources: one or several files, directories or globs (see find_record_files)."""
        if isinstance(sources, (str, os.PathLike)):
            sources = [sources]
        # A file named twice (a directory and a glob inside it) is read once.
        self.paths = list(dict.fromkeys(
            path for source in sources for path in find_record_files(os.fspath(source))))
        self.maps = []
        for path in self.paths:
            size = os.path.getsize(path)
            if size % RECORD_SIZE:
                raise ValueError(f'{path}: size {size} is not a multiple of {RECORD_SIZE}')
            if size:
                self.maps.append(np.memmap(path, dtype=RECORD_DTYPE, mode='r'))
            else:
                self.maps.append(np.zeros(0, dtype=RECORD_DTYPE))
        sizes = [len(m) for m in self.maps]
        self.starts = np.concatenate([[0], np.cumsum(sizes)]).astype(np.int64)

    def __len__(self):
        return int(self.starts[-1])

    def take(self, indices):
        """The records at the given global indices, in that order, as an array in memory."""
        indices = np.asarray(indices, dtype=np.int64)
        out = np.empty(len(indices), dtype=RECORD_DTYPE)
        which = np.searchsorted(self.starts, indices, side='right') - 1
        for f in np.unique(which):
            sel = which == f
            out[sel] = self.maps[f][indices[sel] - self.starts[f]]
        return out

    def field(self, name):
        """One field of every record, concatenated over the files (read sequentially)."""
        return np.concatenate([np.asarray(m[name]) for m in self.maps]) if self.maps else \
            np.zeros(0, dtype=RECORD_DTYPE[name])

    def game_ids(self):
        """Game number of every record: a new game starts when the ply does not increase,
        and at the start of every file."""
        new_game = np.zeros(len(self), dtype=bool)
        for f, m in enumerate(self.maps):
            if not len(m):
                continue
            ply = np.asarray(m['ply']).astype(np.int64)
            part = new_game[self.starts[f]:self.starts[f + 1]]
            part[0] = True
            part[1:] = ply[1:] <= ply[:-1]
        return np.cumsum(new_game) - 1


def game_ids_from_plies(ply):
    """Game number of each record of one contiguous stream, by the ply rule."""
    ply = np.asarray(ply).astype(np.int64)
    new_game = np.ones(len(ply), dtype=bool)
    new_game[1:] = ply[1:] <= ply[:-1]
    return np.cumsum(new_game) - 1


def _nibbles(records):
    """(N, 32) nibble codes in order of the occupied squares."""
    pieces = records['pieces']
    nib = np.empty((len(records), 32), dtype=np.uint8)
    nib[:, 0::2] = pieces & 15
    nib[:, 1::2] = pieces >> 4
    return nib


def _occupied(records):
    """(N, 64) bool: square s holds a piece."""
    occ = records['occupancy'].astype(np.uint64)
    return ((occ[:, None] >> _SQUARES) & np.uint64(1)).astype(bool)


def valid_mask(records):
    """True for records a well-behaved writer can produce: version 1 flags, 2 to 32 pieces
    with one king of each colour, piece codes in range with zero padding, a result in
    {-1, 0, 1}."""
    flags = records['flags']
    ok = ((flags >> 4) == RECORD_VERSION) & ((flags & 0x0E) == 0)
    ok &= (records['result'] >= -1) & (records['result'] <= 1)
    occupied = _occupied(records)
    count = occupied.sum(axis=1)
    ok &= (count >= 2) & (count <= 32)
    nib = _nibbles(records)
    used = np.arange(32)[None, :] < count[:, None]
    ok &= np.all(np.where(used, (nib & 7) <= 5, nib == 0), axis=1)
    for colour in (0, 1):
        ok &= np.sum(used & (nib == colour * 8 + KING), axis=1) == 1
    return ok


def decode_pieces(records):
    """Sparse list of pieces: (row, square, colour, type) arrays, rows ascending and squares
    ascending within a row. Pieces beyond the 32 nibbles a record holds are dropped (such a
    record fails valid_mask)."""
    occupied = _occupied(records)
    slot = np.cumsum(occupied, axis=1) - 1
    rows, squares = np.nonzero(occupied)
    slots = slot[rows, squares]
    keep = slots < 32
    rows, squares, slots = rows[keep], squares[keep], slots[keep]
    nib = _nibbles(records)[rows, slots]
    return rows, squares.astype(np.int64), (nib >> 3).astype(np.int64), \
        (nib & 7).astype(np.int64)


def feature_index(perspective, colour, ptype, square, flip=False):
    """Input index of a piece seen from one side (arrays or scalars). flip reflects the view
    left to right (king mirroring: see features)."""
    colour = np.asarray(colour)
    square = np.asarray(square)
    own = colour == perspective
    sq = square if perspective == 0 else square ^ 56
    sq = np.where(flip, sq ^ 7, sq)
    return np.where(own, 0, 384) + np.asarray(ptype) * 64 + sq


def king_files(rows, squares, colours, types, count):
    """(count, 2): the file of each record's White and Black king (decoded pieces as from
    decode_pieces). A record without such a king (one valid_mask refuses) gets file 7; with
    several, the one on the highest square counts."""
    files = np.full((count, 2), 7, dtype=np.int64)
    king = types == KING
    files[rows[king], colours[king]] = squares[king] & 7
    return files


def features(records, mirror=None, king_mirror=False):
    """Feature lists of both perspectives, side to move first.

    mirror, a bool per record, reflects those boards left to right (file a <-> file h): the
    inputs hold no castling rights, so a reflected board is another position of the same
    worth, and training on both halves the data the network needs.

    king_mirror reflects each side's view left to right when its own king stands on files
    a-d, so that each view sees its king on files e-h. A board and its reflection then have
    the same features, and the reflection above adds nothing.

    Returns (stm_idx, other_idx, offsets): flat int64 index arrays with the features of
    record i at offsets[i]:offsets[i+1] (offsets has N + 1 entries).
    """
    rows, squares, colours, types = decode_pieces(records)
    if mirror is not None:
        squares = np.where(np.asarray(mirror, dtype=bool)[rows], squares ^ 7, squares)
    if king_mirror:
        flip = king_files(rows, squares, colours, types, len(records))[rows] < 4
    else:
        flip = np.zeros((len(rows), 2), dtype=bool)
    white = feature_index(0, colours, types, squares, flip[:, 0])
    black = feature_index(1, colours, types, squares, flip[:, 1])
    black_to_move = (records['flags'] & 1).astype(bool)[rows]
    stm_idx = np.where(black_to_move, black, white)
    other_idx = np.where(black_to_move, white, black)
    counts = np.bincount(rows, minlength=len(records))
    offsets = np.zeros(len(records) + 1, dtype=np.int64)
    np.cumsum(counts, out=offsets[1:])
    return stm_idx, other_idx, offsets


def piece_counts(records):
    """Number of pieces on each record's board, kings included."""
    return _occupied(records).sum(axis=1).astype(np.int64)


def output_buckets(records, buckets):
    """Each record's output bucket: with 8 buckets (pieces - 2) // 4, kept within 0..7; with
    one bucket, 0."""
    if buckets == 1:
        return np.zeros(len(records), dtype=np.int64)
    if buckets != OUTPUT_BUCKETS:
        raise ValueError(f'{buckets} output buckets (1 or {OUTPUT_BUCKETS} allowed)')
    return np.clip((piece_counts(records) - 2) // 4, 0, OUTPUT_BUCKETS - 1)


def side_to_move(records):
    """0 for White to move, 1 for Black."""
    return (records['flags'] & 1).astype(np.int64)


def stm_result(records):
    """The game's result for the side to move, mapped to 0 (loss), 0.5, 1 (win)."""
    white = records['result'].astype(np.float64)
    sign = 1.0 - 2.0 * side_to_move(records)
    return (white * sign + 1.0) / 2.0


def to_fen(record):
    """FEN of one record. Records keep no castling rights or en-passant square."""
    board = [['1'] * 8 for _ in range(8)]
    rows, squares, colours, types = decode_pieces(np.asarray(record).reshape(1))
    for sq, c, t in zip(squares, colours, types):
        letter = PIECE_TYPES[t] if t < 6 else '?'
        board[sq >> 3][sq & 7] = letter.upper() if c == 0 else letter
    ranks = []
    for r in range(7, -1, -1):
        text = ''.join(board[r])
        for n in range(8, 1, -1):
            text = text.replace('1' * n, str(n))
        ranks.append(text)
    stm = 'b' if int(record['flags']) & 1 else 'w'
    fullmove = int(record['ply']) // 2 + 1
    return f"{'/'.join(ranks)} {stm} - - 0 {fullmove}"


def records_from_fens(fens):
    """Records holding the pieces and side to move of FEN strings (other fields zero).

    Lets network scores be computed for positions given as FEN, such as the classical
    evaluation's output."""
    out = np.zeros(len(fens), dtype=RECORD_DTYPE)
    for i, fen in enumerate(fens):
        fields = fen.split()
        placement, stm = fields[0], fields[1] if len(fields) > 1 else 'w'
        pieces = {}
        ranks = placement.split('/')
        if len(ranks) != 8:
            raise ValueError(f'bad FEN placement: {fen}')
        for r, text in enumerate(ranks):
            f = 0
            for ch in text:
                if ch.isdigit():
                    f += int(ch)
                    continue
                t = PIECE_TYPES.find(ch.lower())
                if t < 0 or f > 7:
                    raise ValueError(f'bad FEN placement: {fen}')
                pieces[(7 - r) * 8 + f] = (0 if ch.isupper() else 1) * 8 + t
                f += 1
            if f != 8:
                raise ValueError(f'bad FEN placement: {fen}')
        out[i] = encode(pieces, black_to_move=(stm == 'b'))
    return out


def encode(pieces, black_to_move=False, score=0, result=0, move=0, ply=0):
    """One record from {square: colour * 8 + type}, per the layout (for tests and tools)."""
    rec = np.zeros(1, dtype=RECORD_DTYPE)[0]
    occ = 0
    nibbles = []
    for sq in sorted(pieces):
        occ |= 1 << sq
        nibbles.append(pieces[sq])
    if len(nibbles) > 32:
        raise ValueError('more than 32 pieces')
    nibbles += [0] * (32 - len(nibbles))
    rec['occupancy'] = occ
    rec['pieces'] = [nibbles[2 * i] | nibbles[2 * i + 1] << 4 for i in range(16)]
    rec['score'] = score
    rec['result'] = result
    rec['flags'] = (RECORD_VERSION << 4) | int(bool(black_to_move))
    rec['move'] = move
    rec['ply'] = ply
    return rec
