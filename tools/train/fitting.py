"""Fitting the score scale K, the training target, and the slope of one score against another."""

import numpy as np


def sigmoid(x):
    return 0.5 * (1.0 + np.tanh(0.5 * np.asarray(x, dtype=np.float64)))


def result_log_loss(scores, results, k):
    """Mean cross entropy of sigmoid(score / k) against results in [0, 1]."""
    p = np.clip(sigmoid(np.asarray(scores, dtype=np.float64) / k), 1e-12, 1 - 1e-12)
    r = np.asarray(results, dtype=np.float64)
    return float(-np.mean(r * np.log(p) + (1 - r) * np.log(1 - p)))


def fit_k(scores, results, k_min=1.0, k_max=10000.0, iterations=100):
    """The K for which sigmoid(score / K) best predicts the results (least log loss).

    The loss is convex in 1 / K (a one-coefficient logistic regression), so a golden-section
    search over 1 / K finds the minimum; a data set where higher scores do not mean better
    results ends at k_max."""
    lo, hi = 1.0 / k_max, 1.0 / k_min
    ratio = (np.sqrt(5.0) - 1.0) / 2.0

    def loss(beta):
        return result_log_loss(scores, results, 1.0 / beta)

    a, b = lo, hi
    c, d = b - ratio * (b - a), a + ratio * (b - a)
    fc, fd = loss(c), loss(d)
    for _ in range(iterations):
        if fc < fd:
            b, d, fd = d, c, fc
            c = b - ratio * (b - a)
            fc = loss(c)
        else:
            a, c, fc = c, d, fd
            d = a + ratio * (b - a)
            fd = loss(d)
        if b - a < 1e-12:
            break
    beta = (a + b) / 2.0
    for edge in (lo, hi):
        if loss(edge) < loss(beta):
            beta = edge
    return 1.0 / beta


def blended_target(scores, results, k, lam):
    """lam * sigmoid(score / K) + (1 - lam) * result, results in [0, 1]."""
    return lam * sigmoid(np.asarray(scores, dtype=np.float64) / k) + \
        (1.0 - lam) * np.asarray(results, dtype=np.float64)


def slope(y, x, limit=None):
    """Least-squares slope of y against x (with an intercept).

    With a limit, only pairs where both |x| and |y| are within it count, so that a few
    decided positions do not dominate. Returns (slope, intercept, pairs used, correlation);
    the slope is nan when x has no spread."""
    x = np.asarray(x, dtype=np.float64)
    y = np.asarray(y, dtype=np.float64)
    if x.shape != y.shape:
        raise ValueError('slope needs two arrays of one length')
    if limit is not None:
        keep = (np.abs(x) <= limit) & (np.abs(y) <= limit)
        x, y = x[keep], y[keep]
    n = len(x)
    if n < 2:
        return float('nan'), float('nan'), n, float('nan')
    dx, dy = x - x.mean(), y - y.mean()
    sxx, syy, sxy = (dx * dx).sum(), (dy * dy).sum(), (dx * dy).sum()
    if sxx == 0:
        return float('nan'), float('nan'), n, float('nan')
    b = sxy / sxx
    corr = sxy / np.sqrt(sxx * syy) if syy > 0 else float('nan')
    return float(b), float(y.mean() - b * x.mean()), n, float(corr)
