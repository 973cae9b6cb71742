"""The network: float model for training, quantisation, the network file and its integer
forward pass (the same arithmetic the engine does).

    a_P   = b1 + sum of W1 rows of the pieces seen from side P
    h_P   = clamp(a_P, 0, 1), or its square with SCReLU
    logit = w2[b][:H] . h_stm + w2[b][H:] . h_other + b2[b]   (b: the output bucket)
    score = logit * K  (centipawns for the side to move)

The file (format version 2) is a 64-byte header of little-endian u32 fields after the magic
(version, inputs, hidden, buckets, K, QA, QB, FNV-1a of the body, flags; the rest zero) and
the body w1 int16 [768][H], b1 int16 [H], w2 int16 [buckets][2H], b2 int32 [buckets]. With one
bucket and no flags the body is that of a version-1 file.
"""

import os
import struct
from dataclasses import dataclass

import numpy as np
import torch
from torch import nn
import torch.nn.functional as F

import records as rec

MAGIC = b'TOLVONET'
FORMAT_VERSION = 2
HEADER_SIZE = 64
HEADER_FORMAT = '<8s9I20s'
QA = 255
# The output layer's scale, named in the header. 64 was the first networks' scale; with it an
# output weight of a trained network is a few units, and its rounding cost about 1% of the
# validation loss. 256 costs almost nothing. The squared clip keeps 64: its output weights are
# limited to 127 units.
QB = 64
QB_FINE = 256
QB_MAX = 1024
FLAG_SCRELU = 1
FLAG_KING_MIRROR = 2
KNOWN_FLAGS = FLAG_SCRELU | FLAG_KING_MIRROR
BUCKET_CHOICES = (1, rec.OUTPUT_BUCKETS)
# Integer limits: with them no sum in the engine can overflow. The accumulator holds at most
# 32 rows and the bias: 33 * 992 fits int16. With clipped ReLU the output sum is at most
# 512 * 255 * 16000 (fits int32). With SCReLU the engine multiplies h * w in int16 first
# (255 * 127 fits), then by h into int32; a vector of four or more int32 lanes puts at most
# 128 of the 512 terms h^2 * w into one lane (128 * 255^2 * 127 fits int32), and the lanes
# are added in 64 bits.
W1_LIMIT = 992
W2_LIMIT = 16000
W2_LIMIT_SCRELU = 127
B2_LIMIT = 1 << 24
K_MIN, K_MAX = 1, 10000
SCORE_LIMIT = 10000
DEFAULT_HIDDEN = 256

_FNV_OFFSET = 2166136261
_FNV_PRIME = 16777619


def w2_limit(screlu):
    return W2_LIMIT_SCRELU if screlu else W2_LIMIT


def default_qb(screlu):
    return QB if screlu else QB_FINE


def _grid(w, scale, limit):
    """The integers the file holds for float weights. The export and the rounded forward pass
    share this float32 arithmetic, so that both round each weight the same way."""
    return torch.clamp(torch.round(w.detach().float() * scale), -limit, limit)


def _fake_quant(w, scale, limit):
    """Rounds to the integer grid in the forward pass and passes gradients straight through."""
    return w + (_grid(w, scale, limit) / scale - w).detach()


class _SparseRows(torch.autograd.Function):
    """Sums of weight rows per record (the first layer) with a sparse backward pass: the
    weight gradient is (records x features)^T times the output gradient, about twice as fast
    on the CPU as the embedding's own backward pass, which sorts the indices."""

    @staticmethod
    def forward(ctx, weight, idx, offsets, rows):
        ctx.shape = (weight.shape[0], len(offsets))
        ctx.save_for_backward(idx, rows)
        return F.embedding_bag(idx, weight, offsets, mode='sum')

    @staticmethod
    def backward(ctx, grad):
        idx, rows = ctx.saved_tensors
        members = torch.sparse_coo_tensor(torch.stack([idx, rows]),
                                          torch.ones(len(idx), dtype=grad.dtype), ctx.shape)
        return torch.sparse.mm(members, grad), None, None, None


class Net(nn.Module):
    """768 -> H per perspective (shared weights), clipped to [0, 1] (squared with SCReLU),
    2H -> one output per bucket, of which the record's bucket counts."""

    def __init__(self, hidden=DEFAULT_HIDDEN, k=400.0, screlu=False, buckets=1,
                 king_mirror=False, qb=None):
        super().__init__()
        if buckets not in BUCKET_CHOICES:
            raise ValueError(f'buckets must be one of {BUCKET_CHOICES}, not {buckets}')
        self.hidden = hidden
        self.screlu = bool(screlu)
        self.buckets = buckets
        self.king_mirror = bool(king_mirror)
        self.ft = nn.EmbeddingBag(rec.FEATURES, hidden, mode='sum')
        self.ft_bias = nn.Parameter(torch.zeros(hidden))
        # One row per piece kind (colour relative to the perspective, and type), added to
        # each of its 64 square rows: what a piece is worth anywhere is learnt from every
        # position that holds it, and the square rows keep only what its square adds. It is
        # folded into the square rows when the file is written.
        self.piece_rows = nn.Parameter(torch.zeros(rec.FEATURES // 64, hidden))
        self.out = nn.Linear(2 * hidden, buckets)
        self.register_buffer('k', torch.tensor(float(k)))
        self.qb = default_qb(self.screlu) if qb is None else int(qb)
        # When set, the forward pass uses the weights as the integer file holds them.
        self.fake_quant = False
        with torch.no_grad():
            # About 15 pieces per side: accumulators start spread around 0.3.
            nn.init.normal_(self.ft.weight, 0.0, 0.1)
            self.ft_bias.fill_(0.3)
            nn.init.normal_(self.out.weight, 0.0, 1.0 / np.sqrt(2 * hidden))
            self.out.bias.zero_()

    @property
    def w2_limit(self):
        return w2_limit(self.screlu)

    def description(self):
        return (f'{"SCReLU" if self.screlu else "clipped ReLU"}, {self.buckets} output '
                f'bucket{"s" if self.buckets > 1 else ""}, '
                f'king mirroring {"on" if self.king_mirror else "off"}, QB {self.qb}')

    def options(self):
        """What the file's header says about the model besides its sizes."""
        return {'screlu': self.screlu, 'buckets': self.buckets, 'king_mirror': self.king_mirror,
                'qb': self.qb}

    def weights(self):
        w1 = self.ft.weight + self.piece_rows.repeat_interleave(64, dim=0)
        b1 = self.ft_bias
        w2, b2 = self.out.weight, self.out.bias
        if self.fake_quant:
            w1 = _fake_quant(w1, QA, W1_LIMIT)
            b1 = _fake_quant(b1, QA, W1_LIMIT)
            w2 = _fake_quant(w2, self.qb, self.w2_limit)
            b2 = _fake_quant(b2, QA * self.qb, B2_LIMIT)
        return w1, b1, w2, b2

    def activation(self, a):
        h = torch.clamp(a, 0.0, 1.0)
        return h * h if self.screlu else h

    def forward(self, stm_idx, other_idx, offsets, bucket=None):
        """Logits of a batch given as flat feature lists with per-record start offsets and
        each record's output bucket (None: every record in bucket 0)."""
        w1, b1, w2, b2 = self.weights()
        counts = torch.diff(offsets, append=torch.tensor([len(stm_idx)]))
        rows = torch.repeat_interleave(torch.arange(len(offsets)), counts)
        a_stm = _SparseRows.apply(w1, stm_idx, offsets, rows) + b1
        a_other = _SparseRows.apply(w1, other_idx, offsets, rows) + b1
        h = torch.cat([self.activation(a_stm), self.activation(a_other)], dim=1)
        if bucket is None:
            return F.linear(h, w2[:1], b2[:1]).squeeze(1)
        # Each record's own bucket row: on the CPU about three times as fast as all buckets'
        # outputs from one matrix product and a pick.
        return (h * w2[bucket]).sum(dim=1) + b2[bucket]

    def inputs(self, records, mirror=None):
        """Torch inputs of a batch of records for this model's options."""
        return batch_tensors(records, mirror, king_mirror=self.king_mirror,
                             buckets=self.buckets)

    @torch.no_grad()
    def clamp_to_limits(self):
        """Keeps every weight inside what the integer file can hold."""
        self.ft.weight.clamp_(-W1_LIMIT / QA, W1_LIMIT / QA)
        self.ft_bias.clamp_(-W1_LIMIT / QA, W1_LIMIT / QA)
        self.out.weight.clamp_(-self.w2_limit / self.qb, self.w2_limit / self.qb)
        self.out.bias.clamp_(-B2_LIMIT / (QA * self.qb), B2_LIMIT / (QA * self.qb))


def batch_tensors(records, mirror=None, king_mirror=False, buckets=1):
    """Torch inputs of a batch of records (mirror, king_mirror: see records.features)."""
    stm_idx, other_idx, offsets = rec.features(records, mirror, king_mirror)
    return (torch.from_numpy(stm_idx), torch.from_numpy(other_idx),
            torch.from_numpy(offsets[:-1].copy()),
            torch.from_numpy(rec.output_buckets(records, buckets)))


@dataclass
class QuantisedNetwork:
    """The integer network as the file holds it."""
    k: int
    w1: np.ndarray  # int16 [768][H]
    b1: np.ndarray  # int16 [H]
    w2: np.ndarray  # int16 [buckets][2H]
    b2: np.ndarray  # int32 [buckets]
    screlu: bool = False
    king_mirror: bool = False
    qb: int = QB

    @property
    def hidden(self):
        return len(self.b1)

    @property
    def buckets(self):
        return len(self.b2)

    @property
    def flags(self):
        return (FLAG_SCRELU if self.screlu else 0) | (FLAG_KING_MIRROR if self.king_mirror else 0)


def quantise(model):
    """Rounds and clamps the float model's weights to the file's integers."""
    k = int(np.clip(np.rint(float(model.k)), K_MIN, K_MAX))
    fake_quant, model.fake_quant = model.fake_quant, False
    w1, b1, w2, b2 = model.weights()
    model.fake_quant = fake_quant
    return QuantisedNetwork(
        k=k,
        w1=_grid(w1, QA, W1_LIMIT).numpy().astype(np.int16),
        b1=_grid(b1, QA, W1_LIMIT).numpy().astype(np.int16),
        w2=_grid(w2, model.qb, model.w2_limit).numpy().astype(np.int16),
        b2=_grid(b2, QA * model.qb, B2_LIMIT).numpy().astype(np.int32),
        screlu=model.screlu, king_mirror=model.king_mirror, qb=model.qb)


def fnv1a(data):
    """FNV-1a, 32 bits."""
    h = _FNV_OFFSET
    for byte in data:
        h = ((h ^ byte) * _FNV_PRIME) & 0xFFFFFFFF
    return h


def header_bytes(version, hidden, buckets, k, checksum, flags, qb):
    return struct.pack(HEADER_FORMAT, MAGIC, version, rec.FEATURES, hidden, buckets, k, QA, qb,
                       checksum, flags, bytes(20))


def network_bytes(net):
    """The network file's bytes."""
    body = b''.join([
        np.ascontiguousarray(net.w1, dtype='<i2').tobytes(),
        np.ascontiguousarray(net.b1, dtype='<i2').tobytes(),
        np.ascontiguousarray(net.w2, dtype='<i2').tobytes(),
        np.ascontiguousarray(net.b2, dtype='<i4').tobytes(),
    ])
    header = header_bytes(FORMAT_VERSION, net.hidden, net.buckets, net.k, fnv1a(body),
                          net.flags, net.qb)
    assert len(header) == HEADER_SIZE
    return header + body


def network_size(hidden, buckets=1):
    return HEADER_SIZE + 2 * (rec.FEATURES * hidden + hidden + buckets * 2 * hidden) + \
        4 * buckets


def write_file(data, path):
    """Writes the file whole or not at all (a temporary file renamed into place)."""
    tmp = f'{path}.tmp'
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)
    return len(data)


def write_network(net, path):
    return write_file(network_bytes(net), path)


def parse_network(data):
    """Reads and checks a network file's bytes; raises ValueError naming the fault."""
    if len(data) < HEADER_SIZE:
        raise ValueError(f'truncated: {len(data)} bytes')
    (magic, version, inputs, hidden, buckets, k, qa, qb, checksum, flags,
     reserved) = struct.unpack_from(HEADER_FORMAT, data)
    if magic != MAGIC:
        raise ValueError('wrong magic')
    if version != FORMAT_VERSION:
        raise ValueError(f'format version {version}; this trainer reads version '
                         f'{FORMAT_VERSION}')
    if inputs != rec.FEATURES or hidden != DEFAULT_HIDDEN:
        raise ValueError(f'unexpected sizes {inputs}x{hidden}')
    if buckets not in BUCKET_CHOICES:
        raise ValueError(f'{buckets} output buckets (1 or {rec.OUTPUT_BUCKETS} allowed)')
    if qa != QA or not 1 <= qb <= QB_MAX:
        raise ValueError(f'unexpected scales QA {qa} QB {qb}')
    if not K_MIN <= k <= K_MAX:
        raise ValueError(f'K {k} out of range')
    if flags & ~KNOWN_FLAGS:
        raise ValueError(f'unknown flags {flags:#x}')
    if any(reserved):
        raise ValueError('reserved header bytes are not zero')
    if len(data) != network_size(hidden, buckets):
        raise ValueError(f'size {len(data)}, expected {network_size(hidden, buckets)}')
    body = data[HEADER_SIZE:]
    if fnv1a(body) != checksum:
        raise ValueError('checksum mismatch')
    pos = 0

    def take(count, dtype):
        nonlocal pos
        arr = np.frombuffer(body, dtype=dtype, count=count, offset=pos)
        pos += arr.nbytes
        return arr.astype(np.dtype(dtype).newbyteorder('='))

    w1 = take(rec.FEATURES * hidden, '<i2').reshape(rec.FEATURES, hidden)
    b1 = take(hidden, '<i2')
    w2 = take(buckets * 2 * hidden, '<i2').reshape(buckets, 2 * hidden)
    b2 = take(buckets, '<i4')
    screlu = bool(flags & FLAG_SCRELU)
    if np.abs(w1.astype(np.int32)).max() > W1_LIMIT or np.abs(b1.astype(np.int32)).max() > W1_LIMIT:
        raise ValueError('first-layer weight beyond the limit')
    if np.abs(w2.astype(np.int32)).max() > w2_limit(screlu):
        raise ValueError(f'output weight beyond the limit {w2_limit(screlu)}')
    if np.abs(b2.astype(np.int64)).max() > B2_LIMIT:
        raise ValueError('output bias beyond the limit')
    return QuantisedNetwork(k=k, w1=w1, b1=b1, w2=w2, b2=b2, screlu=screlu,
                            king_mirror=bool(flags & FLAG_KING_MIRROR), qb=qb)


def read_network(path):
    with open(path, 'rb') as f:
        data = f.read(network_size(DEFAULT_HIDDEN, max(BUCKET_CHOICES)) + 1)
    return parse_network(data)


def save_checkpoint(model, path, **info):
    torch.save({'hidden': model.hidden, 'k': float(model.k), 'fake_quant': model.fake_quant,
                **model.options(), 'state_dict': model.state_dict(), 'info': info}, path)


def load_checkpoint(path):
    data = torch.load(path, map_location='cpu')
    # Checkpoints from before the options existed hold today's defaults.
    model = Net(data['hidden'], data['k'], screlu=data.get('screlu', False),
                buckets=data.get('buckets', 1), king_mirror=data.get('king_mirror', False),
                qb=data.get('qb'))
    model.load_state_dict(data['state_dict'])
    model.fake_quant = data.get('fake_quant', False)
    model.eval()
    return model


def load_any(path):
    """A network file (QuantisedNetwork) or a checkpoint (Net), by content."""
    with open(path, 'rb') as f:
        head = f.read(len(MAGIC))
    return read_network(path) if head == MAGIC else load_checkpoint(path)


def truncating_div(x, d):
    """Integer division rounding toward zero, as C++ divides (numpy's // floors)."""
    x = np.asarray(x, dtype=np.int64)
    return np.sign(x) * (np.abs(x) // d)


def output_score(dot, b2, k, screlu, qb):
    """The engine's last steps from the output sum (int64 arrays) to centipawns: with SCReLU
    the sum of h^2 * w carries one factor QA too many and is divided by it first."""
    if screlu:
        dot = truncating_div(dot, QA)
    score = truncating_div((dot + b2) * k, QA * qb)
    return np.clip(score, -SCORE_LIMIT, SCORE_LIMIT)


def integer_scores(net, records, chunk=1024):
    """The engine's integer output for each record (centipawns for the side to move)."""
    out = np.empty(len(records), dtype=np.int64)
    w1 = net.w1.astype(np.int64)
    b1 = net.b1.astype(np.int64)
    w2 = net.w2.astype(np.int64)
    b2 = net.b2.astype(np.int64)
    h = net.hidden
    for start in range(0, len(records), chunk):
        part = records[start:start + chunk]
        stm_idx, other_idx, offsets = rec.features(part, king_mirror=net.king_mirror)
        bucket = rec.output_buckets(part, net.buckets)
        dot = np.zeros(len(part), dtype=np.int64)
        for idx, w in ((stm_idx, w2[bucket, :h]), (other_idx, w2[bucket, h:])):
            sums = np.zeros((len(idx) + 1, h), dtype=np.int64)
            np.cumsum(w1[idx], axis=0, out=sums[1:])
            acc = b1 + sums[offsets[1:]] - sums[offsets[:-1]]
            assert np.abs(acc).max(initial=0) < 1 << 15, 'int16 accumulator overflow'
            act = np.clip(acc, 0, QA)
            if net.screlu:
                act = act * act
            dot += np.einsum('ij,ij->i', act, w)
        out[start:start + chunk] = output_score(dot, b2[bucket], net.k, net.screlu, net.qb)
    return out


@torch.no_grad()
def float_scores(model, records, chunk=8192, clamp=True):
    """The float model's output for each record in centipawns (float64)."""
    model.eval()
    out = np.empty(len(records), dtype=np.float64)
    for start in range(0, len(records), chunk):
        part = records[start:start + chunk]
        logits = model(*model.inputs(part)).double().numpy()
        out[start:start + chunk] = logits * float(model.k)
    return np.clip(out, -SCORE_LIMIT, SCORE_LIMIT) if clamp else out


def evaluate_records(model, records):
    """Centipawns for the side to move: float for a Net, the engine's integers for a
    QuantisedNetwork (both clamped to +-10000 as the engine clamps)."""
    if isinstance(model, QuantisedNetwork):
        return integer_scores(model, records)
    return float_scores(model, records)
