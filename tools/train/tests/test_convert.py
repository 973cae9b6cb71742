import contextlib
import io
import os
import struct
import tempfile
import unittest

import numpy as np

import convert_v1
import evaluate
import network as nw
from tests.test_network import fnv1a_reference, random_model, random_positions


def version1_bytes(net):
    """A version-1 file packed by hand: the same body, field 20 the output count, then zeros."""
    body = (net.w1.astype('<i2').tobytes() + net.b1.astype('<i2').tobytes() +
            net.w2.astype('<i2').tobytes() + net.b2.astype('<i4').tobytes())
    header = struct.pack('<8s8I24s', b'TOLVONET', 1, 768, 256, 1, net.k, 255, 64,
                         fnv1a_reference(body), bytes(24))
    return header + body


class ConvertVersion1(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.net = nw.quantise(random_model(21, k=377.0, qb=nw.QB))  # version 1 was at QB 64
        self.v1 = os.path.join(self.dir.name, 'v1.nnue')
        self.v2 = os.path.join(self.dir.name, 'v2.nnue')
        with open(self.v1, 'wb') as f:
            f.write(version1_bytes(self.net))

    def tearDown(self):
        self.dir.cleanup()

    def convert(self, *paths):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            return convert_v1.main(list(paths))

    def test_a_version_1_file_becomes_version_2_with_the_same_body_and_scores(self):
        self.assertEqual(self.convert(self.v1, self.v2), 0)
        with open(self.v1, 'rb') as f:
            old = f.read()
        with open(self.v2, 'rb') as f:
            new = f.read()
        self.assertEqual(new[64:], old[64:])
        fields = struct.unpack_from('<8s9I', new)
        self.assertEqual(fields, (b'TOLVONET', 2, 768, 256, 1, 377, 255, 64,
                                  fnv1a_reference(new[64:]), 0))
        self.assertEqual(new[44:64], bytes(20))
        back = nw.read_network(self.v2)
        self.assertEqual((back.screlu, back.king_mirror, back.buckets), (False, False, 1))
        _, _, records = random_positions(21, 50)
        self.assertTrue(np.array_equal(nw.integer_scores(back, records),
                                       nw.integer_scores(self.net, records)))

    def test_other_versions_and_damaged_files_are_refused(self):
        nw.write_network(self.net, self.v2)
        with open(self.v2, 'rb') as f:
            with self.assertRaisesRegex(ValueError, 'format version 2; this tool converts '
                                                    'version 1'):
                convert_v1.convert(f.read())
        with open(self.v1, 'rb') as f:
            data = bytearray(f.read())
        data[1000] ^= 1
        with self.assertRaisesRegex(ValueError, 'checksum'):
            convert_v1.convert(bytes(data))
        with self.assertRaisesRegex(ValueError, 'size'):
            convert_v1.convert(version1_bytes(self.net) + b'\0')
        with self.assertRaises(SystemExit):
            self.convert(self.v2, os.path.join(self.dir.name, 'out.nnue'))
        self.assertFalse(os.path.exists(os.path.join(self.dir.name, 'out.nnue')))

    def test_evaluate_names_the_version_of_an_old_file_and_scores_the_converted_one(self):
        _, _, records = random_positions(22, 5)
        path = os.path.join(self.dir.name, 'r.bin')
        records.tofile(path)
        with self.assertRaisesRegex(SystemExit, 'format version 1; .*convert_v1.py'):
            evaluate.main([self.v1, path])
        self.convert(self.v1, self.v2)
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(evaluate.main([self.v2, path]), 0)
        self.assertEqual([int(x) for x in out.getvalue().split()],
                         list(nw.integer_scores(self.net, records)))


if __name__ == '__main__':
    unittest.main()
