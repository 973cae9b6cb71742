"""The engine against the trainer, with the training record as the exchange format: records
written by the engine's own generator (its encoder), decoded here (the trainer's reader),
a network trained and exported here, and the engine's integer scores of the same records."""

import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import network as nw
import records as rec

BUILD = os.environ.get('TOLVO_BUILD_DIR', '')
HERE = os.path.dirname(os.path.abspath(__file__))
TRAIN = os.path.join(os.path.dirname(HERE), 'train.py')


def tool(name):
    return os.path.join(BUILD, name)


@unittest.skipUnless(BUILD and os.path.exists(tool('tolvo-datagen')),
                     'TOLVO_BUILD_DIR with the built tools is not given')
class EngineAgainstTrainer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        subprocess.run([tool('tolvo-datagen'), '--seed', '5', '--positions', '1200', '--nodes',
                        '400', '--out', os.path.join(d, 'gen')], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        cls.records_file = os.path.join(d, 'gen-5.bin')
        cls.net_file = os.path.join(d, 'net.nnue')
        cls.engine_lines = cls.train_and_score(cls.net_file)
        # Every option of the format at once: SCReLU, output buckets, king mirroring.
        cls.options_file = os.path.join(d, 'options.nnue')
        cls.options_lines = cls.train_and_score(cls.options_file, '--screlu', '--buckets', '8',
                                                '--king-mirror')
        data = rec.RecordSet(cls.records_file)
        cls.records = data.take(np.arange(len(data)))

    @classmethod
    def train_and_score(cls, net_file, *flags):
        """Trains a network on the records and returns the engine's output for them."""
        subprocess.run([sys.executable, TRAIN, '--data', cls.records_file, '--out', net_file,
                        '--epochs', '3', '--qat-epochs', '1', '--holdout', '5', '--batch', '256',
                        '--eval-tool', 'none', '--quiet', *flags], check=True,
                       stdout=subprocess.DEVNULL, timeout=240)
        engine = subprocess.run([tool('tolvo-eval'), '--records', cls.records_file, '--evalfile',
                                 net_file], check=True, capture_output=True, text=True,
                                timeout=60)
        return engine.stdout.split()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_engine_decodes_every_record_the_generator_wrote(self):
        self.assertGreaterEqual(len(self.records), 1000)
        self.assertEqual(len(self.engine_lines), len(self.records))
        self.assertNotIn('invalid', self.engine_lines)
        self.assertTrue(rec.valid_mask(self.records).all())

    def test_engine_equals_the_trainers_integer_pass_exactly(self):
        engine = np.array(self.engine_lines, dtype=np.int64)
        integer = nw.integer_scores(nw.read_network(self.net_file), self.records)
        np.testing.assert_array_equal(engine, integer)

    def test_engine_equals_the_trainers_integer_pass_with_every_option(self):
        net = nw.read_network(self.options_file)
        self.assertEqual((net.screlu, net.buckets, net.king_mirror), (True, 8, True))
        engine = np.array(self.options_lines, dtype=np.int64)
        np.testing.assert_array_equal(engine, nw.integer_scores(net, self.records))

    def test_engine_is_within_bounds_of_the_float_model(self):
        engine = np.array(self.engine_lines, dtype=np.float64)
        model = nw.load_checkpoint(os.path.splitext(self.net_file)[0] + '.pt')
        # The model as trained (its last epoch on the weights the file rounds to).
        diff = np.abs(nw.float_scores(model, self.records) - engine)
        self.assertLessEqual(diff.mean(), 3.0)
        self.assertLessEqual(diff.max(), 15.0)
        # The float weights themselves, before any rounding: the file's coarse output scale
        # costs more, but a wrong layout or feature index would cost hundreds.
        model.fake_quant = False
        diff = np.abs(nw.float_scores(model, self.records) - engine)
        print(f'float weights against the engine: mean {diff.mean():.2f} cp, max '
              f'{diff.max():.2f} cp', file=sys.stderr)
        self.assertLessEqual(diff.mean(), 15.0)
        self.assertLessEqual(diff.max(), 60.0)


if __name__ == '__main__':
    unittest.main()
