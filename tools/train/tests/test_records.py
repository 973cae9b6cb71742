import os
import tempfile
import unittest

import numpy as np

import records as rec
from tests.support import (START_FEN, as_records, mirror, pack_record, parse_placement,
                           random_pieces, reflect)


class RecordDecoding(unittest.TestCase):
    def test_fields_of_a_hand_built_record_read_back(self):
        blob = pack_record({4: (0, 5), 60: (1, 5), 12: (0, 0)}, black_to_move=True,
                           score=-123, result=-1, move=12 | 28 << 6 | 4 << 12, ply=77)
        r = as_records([blob])[0]
        self.assertEqual(int(r['score']), -123)
        self.assertEqual(int(r['result']), -1)
        self.assertEqual(int(r['flags']), 0x11)
        self.assertEqual(int(r['move']), 12 | 28 << 6 | 4 << 12)
        self.assertEqual(int(r['ply']), 77)
        self.assertEqual(rec.side_to_move(as_records([blob]))[0], 1)
        # Black to move and Black won: a win for the side to move.
        self.assertEqual(rec.stm_result(as_records([blob]))[0], 1.0)
        white_won = pack_record({4: (0, 5), 60: (1, 5)}, black_to_move=True, result=1)
        self.assertEqual(rec.stm_result(as_records([white_won]))[0], 0.0)

    def test_pieces_decode_in_square_order_with_colour_and_type(self):
        pieces = parse_placement(START_FEN)
        rows, squares, colours, types = rec.decode_pieces(as_records([pack_record(pieces)]))
        self.assertEqual(len(squares), 32)
        self.assertTrue(np.all(rows == 0))
        self.assertEqual({int(s): (int(c), int(t)) for s, c, t in zip(squares, colours, types)},
                         pieces)
        self.assertTrue(np.all(np.diff(squares) > 0))

    def test_start_position_feature_indices(self):
        stm, other, offsets = rec.features(as_records([pack_record(parse_placement(START_FEN))]))
        self.assertEqual(list(offsets), [0, 32])
        # White pawn on a2 (square 8): own piece for White, enemy on a7 (48) for Black.
        self.assertIn(8, stm)
        self.assertIn(384 + 48, other)
        # White king on e1 (4): 5 * 64 + 4 for White; Black sees an enemy king on e8.
        self.assertIn(5 * 64 + 4, stm)
        self.assertIn(384 + 5 * 64 + 60, other)
        # The start position is its own colour mirror, so both views hold the same indices.
        self.assertEqual(sorted(stm), sorted(other))

    def test_black_to_move_puts_blacks_view_first(self):
        pieces = {4: (0, 5), 60: (1, 5), 27: (0, 4)}  # White queen on d4
        stm, other, _ = rec.features(as_records([pack_record(pieces, black_to_move=True)]))
        self.assertEqual(sorted(stm), [5 * 64 + 4, 384 + 4 * 64 + (27 ^ 56), 384 + 5 * 64 + 60])
        self.assertEqual(sorted(other), [4 * 64 + 27, 5 * 64 + 4, 384 + 5 * 64 + 60])

    def test_colour_mirror_swaps_the_perspectives(self):
        rng = np.random.default_rng(3)
        for _ in range(50):
            pieces = random_pieces(rng)
            black = bool(rng.integers(0, 2))
            a = rec.features(as_records([pack_record(pieces, black_to_move=black)]))
            b = rec.features(as_records([pack_record(mirror(pieces), black_to_move=not black)]))
            self.assertEqual(sorted(a[0]), sorted(b[0]))
            self.assertEqual(sorted(a[1]), sorted(b[1]))

    def test_reflection_moves_every_piece_to_the_other_wing_of_the_selected_records(self):
        rng = np.random.default_rng(5)
        placements = [random_pieces(rng) for _ in range(20)]
        reflect = [i % 3 == 0 for i in range(20)]
        expected = [{sq ^ 7: piece for sq, piece in p.items()} if r else p
                    for p, r in zip(placements, reflect)]
        blacks = [bool(rng.integers(0, 2)) for _ in range(20)]
        got = rec.features(as_records([pack_record(p, b) for p, b in zip(placements, blacks)]),
                           np.array(reflect))
        want = rec.features(as_records([pack_record(p, b) for p, b in zip(expected, blacks)]))
        for i in range(20):
            for side in (0, 1):
                self.assertEqual(sorted(got[side][got[2][i]:got[2][i + 1]]),
                                 sorted(want[side][want[2][i]:want[2][i + 1]]))

    def test_king_mirroring_reflects_only_the_view_whose_king_is_on_files_a_to_d(self):
        # White: king d1, pawn a2; Black: king e8, knight b8; White to move.
        pieces = {3: (0, 5), 8: (0, 0), 60: (1, 5), 57: (1, 1)}
        stm, other, _ = rec.features(as_records([pack_record(pieces)]), king_mirror=True)
        # White's king is on the d-file: White's view swaps files (d1 -> e1, a2 -> h2, e8 -> d8,
        # b8 -> g8), Black's does not (its king is on the e-file).
        self.assertEqual(sorted(stm), [0 * 64 + 15, 5 * 64 + 4, 384 + 1 * 64 + 62,
                                       384 + 5 * 64 + 59])
        self.assertEqual(sorted(other), [1 * 64 + 1, 5 * 64 + 4, 384 + 0 * 64 + 48,
                                         384 + 5 * 64 + 59])
        plain, _, _ = rec.features(as_records([pack_record(pieces)]))
        self.assertEqual(sorted(plain), [8, 5 * 64 + 3, 384 + 64 + 57, 384 + 5 * 64 + 60])

    def test_with_king_mirroring_a_board_and_its_reflection_have_the_same_features(self):
        rng = np.random.default_rng(6)
        placements = [random_pieces(rng) for _ in range(60)]
        blacks = [bool(rng.integers(0, 2)) for _ in placements]
        boards = as_records([pack_record(p, b) for p, b in zip(placements, blacks)])
        reflected = as_records([pack_record(reflect(p), b) for p, b in zip(placements, blacks)])
        a = rec.features(boards, king_mirror=True)
        b = rec.features(reflected, king_mirror=True)
        # The training's own reflection gives the same again, so it is redundant here.
        c = rec.features(boards, np.ones(len(boards), bool), king_mirror=True)
        plain_a, plain_b = rec.features(boards), rec.features(reflected)
        differ = 0
        for i in range(len(placements)):
            for side in (0, 1):
                want = sorted(a[side][a[2][i]:a[2][i + 1]])
                self.assertEqual(sorted(b[side][b[2][i]:b[2][i + 1]]), want)
                self.assertEqual(sorted(c[side][c[2][i]:c[2][i + 1]]), want)
                differ += sorted(plain_a[side][plain_a[2][i]:plain_a[2][i + 1]]) != \
                    sorted(plain_b[side][plain_b[2][i]:plain_b[2][i + 1]])
        self.assertEqual(differ, 2 * len(placements))  # without it, every view changes

    def test_output_bucket_of_hand_counted_positions(self):
        fens = {
            '4k3/8/8/8/8/8/8/4K3 w - - 0 1': 0,                      # 2 pieces
            '4k3/pp6/8/8/8/8/P7/4K3 w - - 0 1': 0,                   # 5
            '4k3/pp6/8/8/8/8/PP6/4K3 b - - 0 1': 1,                  # 6
            '4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1': 2,              # 10
            'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w - - 0 1': 5,    # 22
            'rn2k1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1': 6,  # 29
            'rn1qk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1': 7,  # 30
            START_FEN: 7,                                            # 32
        }
        records = rec.records_from_fens(list(fens))
        self.assertEqual(list(rec.piece_counts(records)), [2, 5, 6, 10, 22, 29, 30, 32])
        self.assertEqual(list(rec.output_buckets(records, 8)), list(fens.values()))
        self.assertEqual(list(rec.output_buckets(records, 1)), [0] * len(fens))
        # Boards no writer produces still get a bucket within range.
        odd = as_records([pack_record({4: (0, 5)}), pack_record({})])
        many = bytearray(pack_record({4: (0, 5), 60: (1, 5)}))
        many[0:8] = (2**64 - 1).to_bytes(8, 'little')
        self.assertEqual(list(rec.output_buckets(as_records([bytes(many)]), 8)), [7])
        self.assertEqual(list(rec.output_buckets(odd, 8)), [0, 0])
        with self.assertRaises(ValueError):
            rec.output_buckets(records, 4)

    def test_batch_offsets_split_the_flat_lists_per_record(self):
        rng = np.random.default_rng(4)
        placements = [random_pieces(rng) for _ in range(20)]
        batch = as_records([pack_record(p) for p in placements])
        stm, _, offsets = rec.features(batch)
        for i, p in enumerate(placements):
            single, _, _ = rec.features(as_records([pack_record(p)]))
            self.assertEqual(list(stm[offsets[i]:offsets[i + 1]]), list(single))

    def test_malformed_records_are_flagged(self):
        good = pack_record({4: (0, 5), 60: (1, 5)})
        bad_version = pack_record({4: (0, 5), 60: (1, 5)}, version=2)
        bad_type = pack_record({4: (0, 6), 60: (1, 5)})
        one_piece = pack_record({4: (0, 5)})
        bad_result = pack_record({4: (0, 5), 60: (1, 5)}, result=2)
        stray_nibble = bytearray(good)
        stray_nibble[8 + 5] = 0x03  # a nibble past the two pieces
        # King mirroring needs each side's king.
        no_white_king = pack_record({4: (0, 4), 60: (1, 5)})
        two_black_kings = pack_record({4: (0, 5), 60: (1, 5), 62: (1, 5)})
        mask = rec.valid_mask(as_records([good, bad_version, bad_type, one_piece, bad_result,
                                          bytes(stray_nibble), no_white_king, two_black_kings]))
        self.assertEqual(list(mask), [True, False, False, False, False, False, False, False])
        many = bytearray(good)
        many[0:8] = (2**64 - 1).to_bytes(8, 'little')  # 64 occupied squares
        self.assertFalse(rec.valid_mask(as_records([bytes(many)]))[0])
        rec.features(as_records([bytes(many)]))  # decodes without reading out of bounds

    def test_fen_round_trip(self):
        rng = np.random.default_rng(5)
        blobs = [pack_record(random_pieces(rng), black_to_move=bool(i % 2), ply=i)
                 for i in range(30)]
        records = as_records(blobs)
        back = rec.records_from_fens([rec.to_fen(r) for r in records])
        for field in ('occupancy', 'pieces', 'flags'):
            self.assertTrue(np.array_equal(back[field], records[field]), field)
        self.assertEqual(rec.to_fen(as_records([pack_record(parse_placement(START_FEN))])[0]),
                         'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1')


class RecordFiles(unittest.TestCase):
    def test_games_split_where_the_ply_does_not_increase_and_at_file_starts(self):
        with tempfile.TemporaryDirectory() as d:
            king = {4: (0, 5), 60: (1, 5)}
            first = [pack_record(king, ply=p) for p in (10, 11, 13, 9, 10, 10, 12)]
            second = [pack_record(king, ply=p) for p in (20, 21)]
            with open(os.path.join(d, 'gen-1.bin'), 'wb') as f:
                f.write(b''.join(first))
            with open(os.path.join(d, 'gen-2.bin'), 'wb') as f:
                f.write(b''.join(second))
            with open(os.path.join(d, 'gen-3.bin.part'), 'wb') as f:
                f.write(b''.join(second))
            data = rec.RecordSet(d)
            self.assertEqual([os.path.basename(p) for p in data.paths],
                             ['gen-1.bin', 'gen-2.bin'])
            self.assertEqual(len(data), 9)
            self.assertEqual(list(data.game_ids()), [0, 0, 0, 1, 1, 2, 2, 3, 3])
            taken = data.take([8, 0, 5])
            self.assertEqual(list(taken['ply']), [21, 10, 10])
            self.assertEqual(list(rec.game_ids_from_plies([5, 6, 6, 1])), [0, 0, 1, 2])
            glob_set = rec.RecordSet(os.path.join(d, 'gen-2*'))
            self.assertEqual(len(glob_set), 2)

    def test_a_file_with_a_partial_record_is_refused(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, 'x.bin')
            with open(path, 'wb') as f:
                f.write(pack_record({4: (0, 5), 60: (1, 5)}) + b'\0')
            with self.assertRaises(ValueError):
                rec.RecordSet(path)
            with self.assertRaises(FileNotFoundError):
                rec.RecordSet(os.path.join(d, 'none*.bin'))


if __name__ == '__main__':
    unittest.main()
