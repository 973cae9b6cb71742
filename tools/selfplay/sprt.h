// Statistics of a match played in game pairs (each opening twice, colours swapped): the
// pentanomial count of the pairs, the Elo estimate with its interval, the likelihood of
// superiority, and the sequential probability ratio test that stops a screen.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace selfplay {

// Pairs counted by the first engine's points in them: 0, 1/2, 1, 3/2 and 2.
struct Pentanomial {
    std::array<int64_t, 5> pairs{};
};

inline int64_t pairCount(const Pentanomial& p) {
    int64_t n = 0;
    for (int64_t c : p.pairs) n += c;
    return n;
}

// Pair scores scaled to [0, 1] (a pair's points over 2), so that the mean is the first
// engine's expected score per game: the pair is the sample, since its two games share an
// opening and are not independent.
struct PairMoments {
    int64_t pairs = 0;
    double mean = 0.5;
    double variance = 0;  // of one pair's scaled score
};

inline PairMoments pairMoments(const Pentanomial& p) {
    PairMoments m;
    m.pairs = pairCount(p);
    if (m.pairs == 0) return m;
    double sum = 0, squares = 0;
    for (int k = 0; k < 5; ++k) {
        sum += double(p.pairs[k]) * (k / 4.0);
        squares += double(p.pairs[k]) * (k / 4.0) * (k / 4.0);
    }
    m.mean = sum / double(m.pairs);
    m.variance = std::fmax(0.0, squares / double(m.pairs) - m.mean * m.mean);
    return m;
}

// The expected score per game of an engine that many logistic Elo points stronger, and back.
inline double logisticScore(double elo) {
    return 1 / (1 + std::pow(10.0, -elo / 400));
}
inline double logisticElo(double score) {
    if (score <= 0) return -INFINITY;
    if (score >= 1) return INFINITY;
    return -400 * std::log10(1 / score - 1);
}

struct EloEstimate {
    double elo = 0;
    double low = -INFINITY, high = INFINITY;  // the 95% interval
    double los = 0.5;                         // likelihood that the first engine is stronger
};

// The mean pair score as logistic Elo, its 95% interval from the normal approximation of
// the mean (mean ± 1.96·sqrt(variance / pairs), mapped to Elo), and the likelihood of
// superiority Φ((mean − 1/2) / sqrt(variance / pairs)).
inline EloEstimate eloEstimate(const Pentanomial& p) {
    EloEstimate e;
    PairMoments m = pairMoments(p);
    if (m.pairs == 0) return e;
    double error = std::sqrt(m.variance / double(m.pairs));
    e.elo = logisticElo(m.mean);
    e.low = logisticElo(m.mean - 1.959963984540054 * error);
    e.high = logisticElo(m.mean + 1.959963984540054 * error);
    if (error > 0)
        e.los = 0.5 * std::erfc(-(m.mean - 0.5) / (error * std::sqrt(2.0)));
    else
        e.los = m.mean > 0.5 ? 1 : m.mean < 0.5 ? 0 : 0.5;
    return e;
}

// H0: the first engine is elo0 logistic Elo stronger; H1: elo1. Errors: alpha, the chance of
// accepting H1 when H0 holds, and beta, of accepting H0 when H1 holds.
struct SprtSettings {
    double elo0 = 0, elo1 = 10;
    double alpha = 0.05, beta = 0.1;
};

// The test stops when the log-likelihood ratio leaves (lower, upper) (Wald's bounds).
inline double lowerBound(const SprtSettings& s) {
    return std::log(s.beta / (1 - s.alpha));
}
inline double upperBound(const SprtSettings& s) {
    return std::log((1 - s.beta) / s.alpha);
}

// The generalised SPRT over pair scores: with N pairs of mean m and variance v (scaled to
// [0, 1]) and s0, s1 the scores of elo0, elo1 (logisticScore), the pair mean is taken as
// normal with variance v/N under either hypothesis, so
//     LLR ≈ N · (s1 − s0) · (2·m − s0 − s1) / (2·v).
// Without any spread (no pairs yet, or every pair alike) nothing can be told: 0.
inline double logLikelihoodRatio(const Pentanomial& p, const SprtSettings& s) {
    PairMoments m = pairMoments(p);
    if (m.pairs == 0 || m.variance <= 0) return 0;
    double s0 = logisticScore(s.elo0), s1 = logisticScore(s.elo1);
    return double(m.pairs) * (s1 - s0) * (2 * m.mean - s0 - s1) / (2 * m.variance);
}

enum class Verdict { Undecided, AcceptH0, AcceptH1 };

inline Verdict sprtVerdict(double llr, const SprtSettings& s) {
    if (llr >= upperBound(s)) return Verdict::AcceptH1;
    if (llr <= lowerBound(s)) return Verdict::AcceptH0;
    return Verdict::Undecided;
}

}  // namespace selfplay
