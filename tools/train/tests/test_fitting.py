import unittest

import numpy as np

import fitting


class FittingK(unittest.TestCase):
    def test_recovers_the_k_that_generated_the_results(self):
        rng = np.random.default_rng(1)
        scores = rng.normal(0.0, 300.0, size=200_000)
        for k in (150.0, 410.0, 900.0):
            results = (rng.random(len(scores)) < fitting.sigmoid(scores / k)).astype(float)
            self.assertAlmostEqual(fitting.fit_k(scores, results) / k, 1.0, delta=0.03)

    def test_draws_count_as_half_points(self):
        scores = np.array([-100.0, 0.0, 100.0] * 10)
        results = np.array([0.5, 0.5, 0.5] * 10)
        # Scores say nothing about all-drawn games: the flattest sigmoid fits best.
        self.assertEqual(fitting.fit_k(scores, results, k_max=5000.0), 5000.0)

    def test_results_that_contradict_the_scores_end_at_the_largest_k(self):
        scores = np.array([-200.0, 200.0] * 50)
        results = np.array([1.0, 0.0] * 50)
        self.assertEqual(fitting.fit_k(scores, results), 10000.0)

    def test_blended_target_mixes_score_and_result(self):
        target = fitting.blended_target([0.0, 400.0], [1.0, 0.0], k=400.0, lam=0.7)
        self.assertAlmostEqual(target[0], 0.7 * 0.5 + 0.3)
        self.assertAlmostEqual(target[1], 0.7 / (1.0 + np.exp(-1.0)))


class Slope(unittest.TestCase):
    def test_slope_of_a_line_and_the_limit(self):
        x = np.linspace(-500, 500, 101)
        b, a, n, corr = fitting.slope(2.0 * x + 5.0, x)
        self.assertAlmostEqual(b, 2.0)
        self.assertAlmostEqual(a, 5.0)
        self.assertEqual(n, 101)
        self.assertAlmostEqual(corr, 1.0)
        y = x.copy()
        y[0], x[0] = 9000.0, 50.0  # one wild pair, left out by the limit
        self.assertAlmostEqual(fitting.slope(y, x, limit=1000.0)[0], 1.0)
        self.assertEqual(fitting.slope(y, x, limit=1000.0)[2], 100)
        self.assertNotAlmostEqual(fitting.slope(y, x)[0], 1.0, places=2)

    def test_noise_in_the_network_scores_does_not_bias_the_slope(self):
        rng = np.random.default_rng(2)
        x = rng.normal(0, 200, 100_000)
        self.assertAlmostEqual(fitting.slope(x + rng.normal(0, 100, len(x)), x)[0], 1.0,
                               delta=0.01)

    def test_degenerate_inputs(self):
        self.assertTrue(np.isnan(fitting.slope([1.0, 2.0], [3.0, 3.0])[0]))
        self.assertTrue(np.isnan(fitting.slope([1.0], [1.0])[0]))
        with self.assertRaises(ValueError):
            fitting.slope([1.0, 2.0], [1.0])


if __name__ == '__main__':
    unittest.main()
