import os
import struct
import tempfile
import unittest

import numpy as np
import torch

import network as nw
from records import records_from_fens
from tests.support import as_records, mirror, pack_record, random_pieces, reflect


def fnv1a_reference(data):
    h = 2166136261
    for b in data:
        h ^= b
        h = (h * 16777619) % 2**32
    return h


def reference_score(net, pieces, black_to_move):
    """The integer forward pass written out from the format description, one piece at a time."""
    kings = {colour: square for square, (colour, ptype) in pieces.items() if ptype == 5}

    def accumulator(view):
        acc = net.b1.astype(np.int64)
        for square, (colour, ptype) in pieces.items():
            sq = square ^ 56 if view == 1 else square
            if net.king_mirror and kings[view] % 8 < 4:
                sq ^= 7
            acc = acc + net.w1[(0 if colour == view else 384) + ptype * 64 + sq]
        assert np.all(np.abs(acc) <= 32767)
        h = np.clip(acc, 0, 255)
        return h * h if net.screlu else h

    bucket = min(7, max(0, (len(pieces) - 2) // 4)) if net.buckets == 8 else 0
    w2 = net.w2[bucket].astype(np.int64)
    stm, other = (1, 0) if black_to_move else (0, 1)
    h = net.hidden
    total = int(accumulator(stm) @ w2[:h]) + int(accumulator(other) @ w2[h:])

    def toward_zero(x, d):
        return abs(x) // d * (1 if x >= 0 else -1)

    if net.screlu:
        total = toward_zero(total, 255)
    score = toward_zero((total + int(net.b2[bucket])) * net.k, 255 * net.qb)
    return max(-10000, min(10000, score))


OPTIONS = [dict(screlu=s, buckets=b, king_mirror=m)
           for s in (False, True) for b in (1, 8) for m in (False, True)]


def random_model(seed, k=400.0, spread=1.0, **options):
    torch.manual_seed(seed)
    model = nw.Net(256, k, **options)
    with torch.no_grad():
        model.ft.weight.mul_(spread)
        # The per-piece rows are folded into the square rows when the file is written.
        model.piece_rows.normal_(0.0, 0.05 * spread)
        model.out.weight.mul_(spread * 4)
        model.ft_bias.add_(torch.randn(256) * 0.1)
        model.out.bias.copy_(0.1 * seed + 0.05 * torch.arange(model.buckets))
    model.eval()
    return model


def random_positions(seed, count):
    rng = np.random.default_rng(seed)
    placements = [random_pieces(rng) for _ in range(count)]
    sides = [bool(rng.integers(0, 2)) for _ in range(count)]
    return placements, sides, as_records([pack_record(p, b) for p, b in zip(placements, sides)])


class NetworkFile(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, 'net.nnue')

    def tearDown(self):
        self.dir.cleanup()

    def test_export_writes_the_documented_layout_and_reads_back(self):
        model = random_model(1, k=361.4)
        net = nw.quantise(model)
        self.assertEqual(nw.write_network(net, self.path), 394820)
        with open(self.path, 'rb') as f:
            data = f.read()
        self.assertEqual(len(data), 394820)
        fields = struct.unpack_from('<8s9I', data)
        self.assertEqual(fields[:8], (b'TOLVONET', 2, 768, 256, 1, 361, 255, 256))
        self.assertEqual(fields[8], fnv1a_reference(data[64:]))
        self.assertEqual(fields[9], 0)  # flags: clipped ReLU, no king mirroring
        self.assertEqual(data[44:64], bytes(20))
        w1 = np.frombuffer(data, '<i2', 768 * 256, 64).reshape(768, 256)
        # Each square row with its piece's row folded in, rounded from the float32 product as
        # the training's rounded forward pass rounds.
        folded = model.ft.weight.detach().numpy() + \
            np.repeat(model.piece_rows.detach().numpy(), 64, axis=0)
        expected = np.rint(folded * np.float32(255))
        self.assertTrue(np.array_equal(w1, expected))
        b2 = struct.unpack_from('<i', data, len(data) - 4)[0]
        # The plain clip's output layer is written at the fine scale, QB 256.
        self.assertEqual(b2, np.rint(model.out.bias.detach().numpy()[0] * np.float32(255 * 256)))
        back = nw.read_network(self.path)
        for name in ('w1', 'b1', 'w2', 'b2'):
            self.assertTrue(np.array_equal(getattr(back, name), getattr(net, name)), name)
        self.assertEqual(back.k, net.k)

    def test_every_option_combination_round_trips_with_its_header(self):
        for options in OPTIONS:
            with self.subTest(**options):
                model = random_model(12, **options)
                net = nw.quantise(model)
                buckets = options['buckets']
                size = 64 + 2 * (768 * 256 + 256 + buckets * 512) + 4 * buckets
                self.assertEqual(nw.write_network(net, self.path), size)
                with open(self.path, 'rb') as f:
                    data = f.read()
                fields = struct.unpack_from('<8s9I', data)
                flags = (1 if options['screlu'] else 0) | (2 if options['king_mirror'] else 0)
                qb = 64 if options['screlu'] else 256
                self.assertEqual(fields[4], buckets)
                self.assertEqual(fields[7], qb)
                self.assertEqual(fields[9], flags)
                self.assertEqual(fields[8], fnv1a_reference(data[64:]))
                # Bucket b's 512 output weights, then the biases, at the end of the body.
                w2_at = 64 + 2 * (768 * 256 + 256)
                w2 = np.frombuffer(data, '<i2', buckets * 512, w2_at).reshape(buckets, 512)
                b2 = np.frombuffer(data, '<i4', buckets, w2_at + 2 * buckets * 512)
                self.assertTrue(np.array_equal(
                    w2, np.rint(model.out.weight.detach().numpy() * np.float32(qb))))
                self.assertTrue(np.array_equal(
                    b2, np.rint(model.out.bias.detach().numpy() * np.float32(255 * qb))))
                self.assertEqual(len(set(b2)), buckets)  # each bucket has its own bias
                back = nw.read_network(self.path)
                self.assertEqual((back.screlu, back.buckets, back.king_mirror),
                                 (options['screlu'], buckets, options['king_mirror']))
                for name in ('w1', 'b1', 'w2', 'b2'):
                    self.assertTrue(np.array_equal(getattr(back, name), getattr(net, name)),
                                    name)

    def test_export_clamps_to_the_integer_limits(self):
        for screlu, w2_limit in ((False, 16000), (True, 127)):
            model = random_model(2, k=50000, screlu=screlu, buckets=8)
            with torch.no_grad():
                model.ft.weight[3, 7] = 100.0
                model.ft.weight[5, 9] = -100.0
                model.ft_bias[0] = 9.0
                model.out.weight[0, 1] = 1000.0
                model.out.weight[6, 300] = -1000.0
                model.out.bias[5] = 1e6
            nw.write_network(nw.quantise(model), self.path)
            net = nw.read_network(self.path)
            self.assertEqual((net.w1[3, 7], net.w1[5, 9], net.b1[0]), (992, -992, 992))
            self.assertEqual((net.w2[0, 1], net.w2[6, 300]), (w2_limit, -w2_limit))
            self.assertEqual((net.b2[5], net.k), (1 << 24, 10000))
            # Training keeps the float weights inside the same limits, and its rounded forward
            # pass rounds to them.
            model.fake_quant = True
            self.assertEqual(float(model.weights()[2][6, 300]) * model.qb, -w2_limit)
            model.clamp_to_limits()
            self.assertLessEqual(float(model.ft.weight.abs().max()) * 255, 992 + 1e-3)
            self.assertLessEqual(float(model.out.weight.abs().max()) * model.qb, w2_limit + 1e-3)

    def test_damaged_files_are_refused_with_a_reason(self):
        data = nw.network_bytes(nw.quantise(random_model(3)))
        screlu = nw.network_bytes(nw.quantise(random_model(3, screlu=True, buckets=8)))
        w2_at = 64 + 2 * (768 * 256 + 256)

        def patched(offset, fmt, value, blob=data):
            blob = bytearray(blob)
            struct.pack_into(fmt, blob, offset, value)
            blob[36:40] = struct.pack('<I', fnv1a_reference(bytes(blob[64:])))
            return bytes(blob)

        cases = {
            'truncated': (data[:-1], 'truncated|size'),
            'size': (data + b'\0', 'size'),
            'magic': (b'TOLVONEX' + data[8:], 'magic'),
            'version 1': (patched(8, '<I', 1), 'format version 1; this trainer reads version 2'),
            'version 3': (patched(8, '<I', 3), 'format version 3'),
            'sizes': (patched(16, '<I', 128), 'sizes'),
            'buckets': (patched(20, '<I', 2), 'buckets'),
            'buckets beyond the body': (patched(20, '<I', 8), 'size'),
            'K': (patched(24, '<I', 0), 'K'),
            'scales': (patched(28, '<I', 256), 'scales'),
            'checksum': (data[:100] + bytes([data[100] ^ 1]) + data[101:], 'checksum'),
            'flags': (patched(40, '<I', 4), 'flags'),
            'reserved': (patched(60, '<I', 1), 'reserved'),
            'first-layer': (patched(64 + 2 * 1000, '<h', 993), 'first-layer'),
            'output': (patched(w2_at, '<h', -16001), 'output weight'),
            'bias': (patched(len(data) - 4, '<i', (1 << 24) + 1), 'bias'),
            'SCReLU output': (patched(w2_at + 2 * 700, '<h', 128, screlu), 'output weight'),
        }
        self.assertEqual(nw.parse_network(data).k, 400)
        # 127 is the largest output weight with SCReLU; 128 is fine for clipped ReLU.
        self.assertEqual(nw.parse_network(patched(w2_at + 2 * 700, '<h', -127, screlu))
                         .w2[1, 188], -127)
        self.assertEqual(nw.parse_network(patched(w2_at + 2 * 300, '<h', 128)).w2[0, 300], 128)
        for name, (blob, reason) in cases.items():
            with self.subTest(name), self.assertRaisesRegex(ValueError, reason):
                nw.parse_network(blob)

    def test_checkpoint_round_trip_and_dispatch_by_content(self):
        model = random_model(4, screlu=True, buckets=8, king_mirror=True)
        model.fake_quant = True
        ckpt = os.path.join(self.dir.name, 'net.pt')
        nw.save_checkpoint(model, ckpt, seed=4)
        nw.write_network(nw.quantise(model), self.path)
        _, _, records = random_positions(4, 20)
        loaded = nw.load_any(ckpt)
        self.assertIsInstance(loaded, nw.Net)
        self.assertTrue(loaded.fake_quant)
        self.assertEqual(loaded.options(), model.options())
        self.assertTrue(np.array_equal(nw.evaluate_records(loaded, records),
                                       nw.evaluate_records(model, records)))
        self.assertIsInstance(nw.load_any(self.path), nw.QuantisedNetwork)

    def test_a_checkpoint_without_options_loads_with_the_default_options(self):
        model = random_model(13)
        ckpt = os.path.join(self.dir.name, 'old.pt')
        torch.save({'hidden': 256, 'k': 400.0, 'state_dict': model.state_dict()}, ckpt)
        loaded = nw.load_checkpoint(ckpt)
        self.assertEqual(loaded.options(),
                         {'screlu': False, 'buckets': 1, 'king_mirror': False, 'qb': 256})
        _, _, records = random_positions(13, 20)
        self.assertTrue(np.array_equal(nw.float_scores(loaded, records),
                                       nw.float_scores(model, records)))


def pinned_network(screlu, k):
    """A network whose accumulators are its biases alone (no first-layer weights), the same in
    both views: h = [10, 255, 0, ...] for every position. Bucket 0's output weights are
    w2[0] = -127, w2[1] = -1, w2[2] = 127 for the side to move and w2[256] = 50 for the other
    side; every other bucket holds large weights, so that picking the wrong bucket shows."""
    b1 = np.zeros(256, np.int16)
    b1[:3] = (10, 992, -7)  # clamped to 10, 255, 0
    w2 = np.full((8, 512), 100, np.int16)
    w2[0] = 0
    w2[0, :3] = (-127, -1, 127)
    w2[0, 256] = 50
    return nw.QuantisedNetwork(k=k, w1=np.zeros((768, 256), np.int16), b1=b1, w2=w2,
                               b2=np.full(8, 777, np.int32), screlu=screlu, king_mirror=True)


def formula_network(screlu, buckets, king_mirror, k=300):
    """A network of integer formulas that the engine's own tests can build without a file:
    w1[f][j] = (37f + 11j) mod 61 - 30, b1[j] = 7j mod 50 + 40,
    w2[b][i] = (13b + 5i) mod 255 - 127, b2[b] = 1000b - 3500."""
    f, j = np.arange(768)[:, None], np.arange(256)[None, :]
    b, i = np.arange(buckets)[:, None], np.arange(512)[None, :]
    return nw.QuantisedNetwork(
        k=k, w1=((f * 37 + j * 11) % 61 - 30).astype(np.int16),
        b1=(np.arange(256) * 7 % 50 + 40).astype(np.int16),
        w2=((b * 13 + i * 5) % 255 - 127).astype(np.int16),
        b2=(np.arange(buckets) * 1000 - 3500).astype(np.int32),
        screlu=screlu, king_mirror=king_mirror)


FORMULA_FENS = [
    'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1',           # bucket 7
    'r1bq1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/2KQ3R w - - 0 10',  # 6; White's king on c1
    '2kr3r/ppp2ppp/2n5/3q4/8/5N2/PP3PPP/R2Q1RK1 b - - 0 14',           # 4; Black's king on c8
    '8/5pk1/6p1/8/3K4/8/5P2/8 w - - 0 50',                             # 0; White's king on d4
    '1k6/8/8/8/8/8/8/6K1 b - - 0 1',                                   # 0
]


class IntegerForwardPass(unittest.TestCase):
    def test_a_network_made_by_formula_scores_the_numbers_the_engine_must_match(self):
        records = records_from_fens(FORMULA_FENS)
        pinned = {
            (True, 8, True): [-1793, 1036, 38, -609, -1402],
            (False, 1, False): [37, -435, -447, -2329, -2749],
            (False, 8, True): [-1910, 1422, 1238, -2279, -3075],
            (True, 1, False): [-410, 48, -38, -853, -1391],
        }
        for (screlu, buckets, king_mirror), want in pinned.items():
            with self.subTest(screlu=screlu, buckets=buckets, king_mirror=king_mirror):
                net = formula_network(screlu, buckets, king_mirror)
                self.assertEqual(list(nw.integer_scores(net, records)), want)
                # The file carries the same network.
                back = nw.parse_network(nw.network_bytes(net))
                self.assertEqual(list(nw.integer_scores(back, records)), want)

    def test_vectorised_pass_equals_the_piece_by_piece_reference(self):
        placements, sides, records = random_positions(5, 40)
        for options in OPTIONS:
            for seed, spread in ((5, 1.0), (6, 8.0)):
                with self.subTest(seed=seed, **options):
                    net = nw.quantise(random_model(seed, spread=spread, **options))
                    got = nw.integer_scores(net, records, chunk=7)
                    want = [reference_score(net, p, b) for p, b in zip(placements, sides)]
                    self.assertEqual(list(got), want)

    def test_extreme_weights_stay_within_the_integer_ranges(self):
        rng = np.random.default_rng(7)
        pieces = random_pieces(rng, 32)
        records = as_records([pack_record(pieces)])
        for screlu, limit in ((False, 16000), (True, 127)):
            for sign in (1, -1):
                net = nw.QuantisedNetwork(
                    k=10000, w1=np.full((768, 256), 992, np.int16),
                    b1=np.full(256, 992, np.int16),
                    w2=np.full((8, 512), sign * limit, np.int16),
                    b2=np.full(8, sign << 24, np.int32), screlu=screlu, king_mirror=True)
                want = reference_score(net, pieces, False)
                self.assertEqual(list(nw.integer_scores(net, records)), [want])
                self.assertEqual(want, sign * 10000)
        # The largest output sum with SCReLU, 512 * 255^2 * 127, needs 64 bits in the end; a
        # quarter of it (one of four vector lanes) fits int32.
        self.assertGreater(512 * 255 ** 2 * 127, 2 ** 31)
        self.assertLess(128 * 255 ** 2 * 127, 2 ** 31)
        self.assertLess(255 * 127, 2 ** 15)

    def test_screlu_arithmetic_on_pinned_numbers_truncates_toward_zero(self):
        # King on g1 against king on b8, White to move: 2 pieces, bucket 0.
        records = records_from_fens(['1k6/8/8/8/8/8/8/6K1 w - - 0 1'])
        # sum = 10^2 * (-127) + 255^2 * (-1) + 0 * 127 + 10^2 * 50 = -12700 - 65025 + 5000
        #     = -72725; -72725 / 255 = -285.2, truncated -285 (flooring gives -286).
        # With b2 = 777 and K = 8160: (-285 + 777) * 8160 / 16320 = 246 exactly.
        self.assertEqual(list(nw.integer_scores(pinned_network(True, 8160), records)), [246])
        # A negative final quotient: the same sum with b2 = 0.
        net = pinned_network(True, 8160)
        net.b2[0] = 0
        # -285 * 8160 / 16320 = -142.5: truncated -142 (flooring at either step gives -143).
        self.assertEqual(list(nw.integer_scores(net, records)), [-142])
        net.k = 10000
        # -285 * 10000 / 16320 = -174.6: -174.
        self.assertEqual(list(nw.integer_scores(net, records)), [-174])

    def test_clipped_relu_arithmetic_on_pinned_numbers_truncates_toward_zero(self):
        records = records_from_fens(['1k6/8/8/8/8/8/8/6K1 b - - 0 1'])
        # sum = 10 * (-127) + 255 * (-1) + 10 * 50 = -1025; (-1025 + 777) * 400 / 16320
        #     = -6.08: -6 (flooring gives -7).
        self.assertEqual(list(nw.integer_scores(pinned_network(False, 400), records)), [-6])
        net = pinned_network(False, 10000)
        net.b2[0] = -(1 << 24)
        # (-1025 - 16777216) * 10000 / 16320 is beyond -10000: clamped.
        self.assertEqual(list(nw.integer_scores(net, records)), [-10000])

    def test_the_bucket_follows_the_piece_count(self):
        net = pinned_network(True, 8160)
        # Six pieces: bucket 1, whose weights are all 100 and bias 777:
        # 2 * 100 * (10^2 + 255^2) / 255 = 51079.2 -> 51079; (51079 + 777) * 8160 / 16320
        # = 25928, clamped to 10000.
        six = records_from_fens(['1k6/pp6/8/8/8/8/PP6/6K1 w - - 0 1'])
        self.assertEqual(list(nw.integer_scores(net, six)), [10000])
        net.k = 100
        # 51856 * 100 / 16320 = 317.7 -> 317.
        self.assertEqual(list(nw.integer_scores(net, six)), [317])

    def test_integer_pass_tracks_the_float_model(self):
        _, _, records = random_positions(8, 300)
        for options in (OPTIONS[0], dict(screlu=True, buckets=8, king_mirror=True)):
            for seed in (8, 9, 10):
                with self.subTest(seed=seed, **options):
                    model = random_model(seed, k=400.0, **options)
                    net = nw.quantise(model)
                    ints = nw.evaluate_records(net, records)
                    # The float model as training leaves it (its last epochs run on the rounded
                    # weights): only the integer divisions truncate (with SCReLU the first
                    # costs at most K / (QA * QB) = 0.025 cp). Rounding the float weights of a
                    # model never trained that way costs 10-20 cp on average at QB 64.
                    model.fake_quant = True
                    rounded = nw.evaluate_records(model, records)
                    self.assertLess(np.abs(rounded - ints).max(), 1.0 + 400 / (255 * 64) + 1e-3)
                    self.assertGreater(np.abs(ints).mean(), 50.0)

    def test_a_position_and_its_colour_mirror_score_the_same(self):
        for options in (OPTIONS[0], dict(screlu=True, buckets=8, king_mirror=True)):
            rng = np.random.default_rng(11)
            model = random_model(11, **options)
            net = nw.quantise(model)
            blobs, mirrored = [], []
            for _ in range(50):
                pieces, black = random_pieces(rng), bool(rng.integers(0, 2))
                blobs.append(pack_record(pieces, black))
                mirrored.append(pack_record(mirror(pieces), not black))
            a, b = as_records(blobs), as_records(mirrored)
            self.assertTrue(np.array_equal(nw.integer_scores(net, a),
                                           nw.integer_scores(net, b)))
            self.assertTrue(np.allclose(nw.float_scores(model, a), nw.float_scores(model, b),
                                        atol=1e-3))
            self.assertGreater(np.std(nw.integer_scores(net, a)), 1.0)  # not a constant network

    def test_with_king_mirroring_a_position_and_its_reflection_score_the_same(self):
        rng = np.random.default_rng(14)
        placements = [random_pieces(rng) for _ in range(60)]
        sides = [bool(rng.integers(0, 2)) for _ in placements]
        a = as_records([pack_record(p, b) for p, b in zip(placements, sides)])
        b = as_records([pack_record(reflect(p), s) for p, s in zip(placements, sides)])
        mirrored = nw.quantise(random_model(14, screlu=True, buckets=8, king_mirror=True))
        self.assertTrue(np.array_equal(nw.integer_scores(mirrored, a),
                                       nw.integer_scores(mirrored, b)))
        # Without king mirroring the same network tells the two wings apart.
        mirrored.king_mirror = False
        self.assertGreater(np.mean(nw.integer_scores(mirrored, a) !=
                                   nw.integer_scores(mirrored, b)), 0.8)


if __name__ == '__main__':
    unittest.main()
