#include <algorithm>
#include <cstring>

#include "eval/eval.h"
#include "eval/eval_internal.h"

namespace {

struct EvalCacheEntry {
    uint32_t check;  // upper half of the position key
    int32_t score;   // from White's view
};

constexpr int EvalCacheSize = 65536;
EvalCacheEntry EvalCache[EvalCacheSize];

template <bool Traced>
int evaluateWhite(Position& p, EvalTrace* trace) {
    const MaterialEntry& m = probeMaterial(p);
    const PawnEntry& pe = probePawns(p);
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
    EvalCache[p.key & (EvalCacheSize - 1)] = {uint32_t(p.key >> 32), result};
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

int evaluate(Position& p) {
    const EvalCacheEntry& e = EvalCache[p.key & (EvalCacheSize - 1)];
    if (e.check == uint32_t(p.key >> 32)) return forSideToMove(p, e.score);
    return forSideToMove(p, evaluateWhite<false>(p, nullptr));
}

int evaluateTraced(Position& p, EvalTrace& trace) {
    return forSideToMove(p, evaluateWhite<true>(p, &trace));
}

void clearScoreCache() {
    std::memset(EvalCache, 0, sizeof EvalCache);
}

bool scoreCacheHolds(const Position& p) {
    return EvalCache[p.key & (EvalCacheSize - 1)].check == uint32_t(p.key >> 32);
}

void clearEvaluationCaches() {
    clearScoreCache();
    std::memset(PawnTable, 0, sizeof PawnTable);
    std::memset(MaterialTable, 0, sizeof MaterialTable);
}
