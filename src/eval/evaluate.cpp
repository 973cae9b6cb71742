#include <algorithm>
#include <cstring>

#include "eval/eval.h"
#include "eval/eval_internal.h"

EvalCaches ToolEvalCaches;

namespace {

inline ScoreCacheEntry& scoreSlot(EvalCaches& caches, const Position& p) {
    return caches.scores[p.key & (ScoreCacheSize - 1)];
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
    int scale = m.scale;
    if (Traced) trace->scale = scale;
    if (scale == 0) return 0;
    const int flags = m.flags[White] | m.flags[Black];
    if (flags & WrongBishop) {
        scale = std::min(scale, wrongBishopScale(p, m));
        if (Traced) trace->scale = scale;
        if (scale == 0) return 0;
    }
    if (flags & LonePawn) {
        scale = std::min(scale, kpkScale(p, m));
        if (Traced) trace->scale = scale;
        if (scale == 0) return 0;
    }
    const PackedScore positional =
        p.psqScore + pe.score + evaluatePieces(p, m, pe, Traced ? &trace->pieces : nullptr);
    const int blended = blendPhase(positional, m.phase);
    const int scaled = (blended * scale) >> 7;
    const int result = scaled + m.material;
    scoreSlot(caches, p) = {uint32_t(p.key >> 32), result};
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
    const ScoreCacheEntry& e = scoreSlot(caches, p);
    if (e.check == uint32_t(p.key >> 32)) return forSideToMove(p, e.score);
    return forSideToMove(p, evaluateWhite<false>(p, caches, nullptr));
}

int evaluateTraced(Position& p, EvalTrace& trace) {
    return forSideToMove(p, evaluateWhite<true>(p, ToolEvalCaches, &trace));
}

void clearScoreCache() {
    std::memset(ToolEvalCaches.scores, 0, sizeof ToolEvalCaches.scores);
}

bool scoreCacheHolds(const Position& p) {
    return scoreSlot(ToolEvalCaches, p).check == uint32_t(p.key >> 32);
}

void clearEvaluationCaches() {
    std::memset(static_cast<void*>(&ToolEvalCaches), 0, sizeof ToolEvalCaches);
}
