import contextlib
import io
import os
import tempfile
import unittest

import numpy as np

import network as nw
import records as rec
import synthetic
import train


class TinyTraining(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        rng = np.random.default_rng(7)
        for seed in (1, 2):
            synthetic.synthetic_records(15_000, rng, k=300.0).tofile(
                os.path.join(cls.dir.name, f'gen-{seed}.bin'))
        # A file still being written is not read.
        with open(os.path.join(cls.dir.name, 'gen-3.bin.part'), 'wb') as f:
            f.write(b'\xff' * 40)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def run_training(self, name, *extra):
        out = os.path.join(self.dir.name, name)
        log = io.StringIO()
        with contextlib.redirect_stdout(log):
            result = train.main(['--data', self.dir.name, '--out', out, '--epochs', '3',
                                 '--qat-epochs', '1', '--batch', '1024', '--seed', '5',
                                 '--eval-tool', 'none', '--slope-positions', '500', '--quiet',
                                 *extra])
        return out, result, log.getvalue()

    def test_training_lowers_the_loss_and_writes_a_matching_file(self):
        out, result, log = self.run_training('a.nnue')
        losses = result['validation_losses']
        self.assertLess(losses[-1], 0.5 * losses[0])
        self.assertIn('positions: 30000 in ', log)
        self.assertIn('summary: ', log)
        net = nw.read_network(out)
        self.assertEqual(net.k, result['k'])
        model = nw.load_checkpoint(os.path.splitext(out)[0] + '.pt')
        records = rec.RecordSet(self.dir.name).take(np.arange(0, 30000, 97))
        diff = np.abs(nw.evaluate_records(model, records) - nw.evaluate_records(net, records))
        self.assertLessEqual(diff.max(), 1.0 + 1e-3)
        self.assertLessEqual(result['quantisation_error'], 1.0 + 1e-3)
        # The network has learned the hidden scores' scale.
        self.assertGreater(result['search_slope'], 0.5)

    def test_screlu_buckets_and_king_mirroring_train_and_write_a_matching_file(self):
        flags = ('--screlu', '--buckets', '8', '--king-mirror')
        out, result, log = self.run_training('v2.nnue', *flags)
        losses = result['validation_losses']
        self.assertLess(losses[-1], 0.5 * losses[0])
        self.assertIn('SCReLU, 8 output buckets, king mirroring on', log)
        self.assertIn('no reflection of batches (king mirroring makes it redundant)', log)
        net = nw.read_network(out)
        self.assertEqual((net.screlu, net.buckets, net.king_mirror), (True, 8, True))
        self.assertLessEqual(np.abs(net.w2).max(), 127)
        model = nw.load_checkpoint(os.path.splitext(out)[0] + '.pt')
        self.assertEqual(model.options(),
                         {'screlu': True, 'buckets': 8, 'king_mirror': True, 'qb': 64})
        records = rec.RecordSet(self.dir.name).take(np.arange(0, 30000, 97))
        diff = np.abs(nw.evaluate_records(model, records) - nw.evaluate_records(net, records))
        # Each of the two integer divisions truncates: the first by less than K / (QA * QB) cp.
        self.assertLessEqual(diff.max(), 1.0 + net.k / (255 * 64) + 1e-3)
        self.assertGreater(result['search_slope'], 0.5)
        # Every bucket with positions in it has learnt something of its own.
        buckets = rec.output_buckets(records, 8)
        self.assertGreater(len(np.unique(net.b2[np.unique(buckets)])), 4)
        # The reflection is really off: asking for it to be off changes nothing.
        _, again, _ = self.run_training('v2-again.nnue', *flags, '--no-mirror')
        self.assertEqual(again['validation_losses'], losses)

    def test_a_rerun_with_the_same_seed_repeats_and_another_seed_differs(self):
        _, first, _ = self.run_training('b.nnue', '--epochs', '2')
        _, again, _ = self.run_training('c.nnue', '--epochs', '2')
        _, other, _ = self.run_training('d.nnue', '--epochs', '2', '--seed', '6')
        self.assertEqual(first['validation_losses'], again['validation_losses'])
        with open(os.path.join(self.dir.name, 'b.nnue'), 'rb') as f:
            b = f.read()
        with open(os.path.join(self.dir.name, 'c.nnue'), 'rb') as f:
            self.assertEqual(f.read(), b)
        self.assertNotEqual(first['validation_losses'][-1], other['validation_losses'][-1])

    def test_a_run_stopped_and_resumed_ends_exactly_where_one_run_does(self):
        whole, full, _ = self.run_training('whole.nnue')
        part, stopped, log = self.run_training('part.nnue', '--stop-after', '1')
        self.assertEqual(stopped['stopped_after'], 1)
        self.assertIn('continue with --resume', log)
        self.assertFalse(os.path.exists(part))
        # Another setting cannot continue this run.
        with self.assertRaises(SystemExit), contextlib.redirect_stdout(io.StringIO()):
            self.run_training('part.nnue', '--resume', '--lr', '0.01')
        part, resumed, log = self.run_training('part.nnue', '--resume')
        self.assertIn('resumed from ', log)
        self.assertEqual(resumed['validation_losses'], full['validation_losses'])
        with open(whole, 'rb') as a, open(part, 'rb') as b:
            self.assertEqual(a.read(), b.read())

    def test_data_from_several_sources_is_read_once_per_file(self):
        first = os.path.join(self.dir.name, 'gen-1.bin')
        data = rec.RecordSet([self.dir.name, first, os.path.join(self.dir.name, 'gen-*.bin')])
        self.assertEqual(len(data.paths), 2)
        self.assertEqual(len(data), 30000)

    def test_classical_scores_from_the_evaluator(self):
        tool = os.path.join(self.dir.name, 'fake-eval')
        with open(tool, 'w') as f:
            # Answers as tolvo-eval does: the FEN, then ';eval N' or ';error ...', exit 1
            # after a refusal. Its score is the number of White pieces.
            f.write('#!/bin/sh\nstatus=0\nwhile read -r fen; do\n'
                    '  case "$fen" in *K*) n=$(printf %s "${fen%% *}" | tr -cd PNBRQK | wc -c)\n'
                    '    echo "$fen ;eval $n" ;;\n'
                    '  *) echo "$fen ;error malformed FEN"; status=1 ;; esac\n'
                    'done\nexit $status\n')
        os.chmod(tool, 0o755)
        fens = ['4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1', '4k3/8/8/8/8/8/8/8 b - - 0 1',
                '4k3/8/8/8/8/8/8/RN2K3 b - - 0 7']
        scores = train.classical_from_tool(tool, fens)
        self.assertEqual(scores[0], 4.0)
        self.assertTrue(np.isnan(scores[1]))
        self.assertEqual(scores[2], 3.0)

    def test_classical_scores_from_a_file(self):
        records = rec.RecordSet(self.dir.name).take(np.arange(0, 30000, 300))
        path = os.path.join(self.dir.name, 'classical.txt')
        with open(path, 'w') as f:
            for r in records:
                f.write(f'{rec.to_fen(r)} ;eval {int(r["score"])}\n')
            f.write('8/8/8/8/8/8/8/8 w - - 0 1 ;error refused\n')
        _, result, log = self.run_training('e.nnue', '--epochs', '1',
                                           '--classical-scores', path)
        self.assertIn('of network scores against classical scores', log)
        self.assertGreater(result['slope'], 0.3)


if __name__ == '__main__':
    unittest.main()
