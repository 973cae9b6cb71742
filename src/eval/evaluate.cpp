#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "eval/eval.h"
#include "eval/eval_internal.h"

EvalCaches ToolEvalCaches;
bool NetworkEnabled;
uint32_t EvaluationId;
Network ActiveNetwork;

namespace {

bool NetworkReady;  // a valid network has been installed

inline ScoreCacheEntry& scoreSlot(EvalCaches& caches, const Position& p) {
    return caches.scores[p.key & (ScoreCacheSize - 1)];
}

// Scores of another evaluation, or of another network, must never be read back.
inline void keepScoresCurrent(EvalCaches& caches) {
    if (caches.scoresOf == EvaluationId) return;
    std::memset(caches.scores, 0, sizeof caches.scores);
    caches.scoresOf = EvaluationId;
}

// The endgame scale, shared by both evaluations: the material entry's, then the wrong-bishop
// and lone-pawn rules. Zero is a dead draw.
inline int endgameScale(const Position& p, const MaterialEntry& m) {
    int scale = m.scale;
    if (scale == 0) return 0;
    const int flags = m.flags[White] | m.flags[Black];
    if (flags & WrongBishop) {
        scale = std::min(scale, wrongBishopScale(p, m));
        if (scale == 0) return 0;
    }
    if (flags & LonePawn) scale = std::min(scale, kpkScale(p, m));
    return scale;
}

// The network's score from White's view, or 0 for a dead draw; stored like any other score.
int networkWhite(const Position& p, EvalCaches& caches, const Accumulator& acc) {
    if (endgameScale(p, probeMaterial(p, caches.material)) == 0) return 0;
    const int score = networkOutput(ActiveNetwork, acc, p);
    const int white = p.sideToMove == White ? score : -score;
    scoreSlot(caches, p) = {uint32_t(p.key >> 32), white};
    return white;
}

template <bool Traced>
int evaluateWhite(Position& p, EvalCaches& caches, EvalTrace* trace) {
    const MaterialEntry& m = probeMaterial(p, caches.material);
    const PawnEntry& pe = probePawns(p, caches.pawns);
    if (Traced) {
        *trace = EvalTrace{};
        trace->material = m;
        trace->pawns = pe;
        trace->psq = p.psqScore;
    }
    // A scale of zero is a dead draw; such results are not worth a cache slot.
    const int scale = endgameScale(p, m);
    if (Traced) trace->scale = scale;
    if (scale == 0) return 0;
    const PackedScore positional =
        p.psqScore + pe.score + evaluatePieces(p, m, pe, Traced ? &trace->pieces : nullptr);
    const int blended = blendPhase(positional, m.phase);
    const int scaled = (blended * scale) >> 7;
    const int result = scaled + m.material;
    // A trace of the hand-written evaluation while the network is in use is not a score to keep.
    if (!Traced || !NetworkEnabled) scoreSlot(caches, p) = {uint32_t(p.key >> 32), result};
    if (Traced) {
        trace->positional = positional;
        trace->blended = blended;
        trace->scaled = scaled;
        trace->whiteScore = result;
    }
    return result;
}

int forSideToMove(const Position& p, int whiteScore) {
    return p.sideToMove == White ? whiteScore : -whiteScore;
}

}  // namespace

int evaluate(Position& p, EvalCaches& caches) {
    keepScoresCurrent(caches);
    const ScoreCacheEntry& e = scoreSlot(caches, p);
    if (e.check == uint32_t(p.key >> 32)) return forSideToMove(p, e.score);
    if (!NetworkEnabled) return forSideToMove(p, evaluateWhite<false>(p, caches, nullptr));
    refreshAccumulator(ActiveNetwork, p, caches.network.scratch);
    return forSideToMove(p, networkWhite(p, caches, caches.network.scratch));
}

int evaluate(Position& p, EvalCaches& caches, int ply) {
    if (!NetworkEnabled) return evaluate(p, caches);
#ifdef TOLVO_CHECK_ACCUMULATORS
    // Every evaluation of the search: the accumulator it kept up equals a rebuild.
    refreshAccumulator(ActiveNetwork, p, caches.network.scratch);
    if (std::memcmp(&caches.network.scratch, caches.network.at[ply], sizeof(Accumulator)) != 0) {
        std::fprintf(stderr, "accumulator at ply %d differs from a rebuild (key %llx)\n", ply,
                     static_cast<unsigned long long>(p.key));
        std::abort();
    }
    ++caches.network.checked;
#endif
    keepScoresCurrent(caches);
    const ScoreCacheEntry& e = scoreSlot(caches, p);
    if (e.check == uint32_t(p.key >> 32)) return forSideToMove(p, e.score);
    return forSideToMove(p, networkWhite(p, caches, *caches.network.at[ply]));
}

int networkScore(const Position& p, EvalCaches& caches) {
    refreshAccumulator(ActiveNetwork, p, caches.network.scratch);
    return networkOutput(ActiveNetwork, caches.network.scratch, p);
}

bool enableNetwork(bool on) {
    if (on && !NetworkReady) return false;
    if (on != NetworkEnabled) {
        NetworkEnabled = on;
        ++EvaluationId;
    }
    return true;
}

void installNetwork(const Network& net) {
    ActiveNetwork = net;
    NetworkReady = true;
    ++EvaluationId;
}

bool installEmbeddedNetwork(const char*& reason) {
    const auto embedded = std::make_unique<Network>();
    if (!readNetwork(EmbeddedNetwork, EmbeddedNetworkSize, *embedded, reason)) return false;
    installNetwork(*embedded);
    return true;
}

int evaluateTraced(Position& p, EvalTrace& trace) {
    keepScoresCurrent(ToolEvalCaches);
    return forSideToMove(p, evaluateWhite<true>(p, ToolEvalCaches, &trace));
}

void clearScoreCache() {
    std::memset(ToolEvalCaches.scores, 0, sizeof ToolEvalCaches.scores);
}

bool scoreCacheHolds(const Position& p) {
    return scoreSlot(ToolEvalCaches, p).check == uint32_t(p.key >> 32);
}

void clearEvaluationCaches() {
    // The accumulators hold no memory of earlier positions: only the caches are emptied.
    std::memset(ToolEvalCaches.scores, 0, sizeof ToolEvalCaches.scores);
    std::memset(ToolEvalCaches.pawns, 0, sizeof ToolEvalCaches.pawns);
    std::memset(ToolEvalCaches.material, 0, sizeof ToolEvalCaches.material);
}
