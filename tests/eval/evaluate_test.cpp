#include <cstdlib>

#include "eval/eval.h"
#include "eval/eval_samples.h"
#include "eval_helpers.h"

namespace {

TEST(PackedScore, SumsUnpackExactlyWithNegativeParts) {
    for (const auto& [mg, eg] : {std::pair{10, -1}, {-7, -300}, {0, 32000}, {-32000, 1}}) {
        EXPECT_EQ(unpackMg(pack(mg, eg) + pack(3, -4)), mg + 3);
        EXPECT_EQ(unpackEg(pack(mg, eg) + pack(3, -4)), eg - 4);
    }
}

TEST(Evaluate, StartPositionIsZeroADeadDrawIsZeroAndTheSideToMoveOnlyFlipsTheSign) {
    clearEvaluationCaches();
    EXPECT_EQ(evaluate(*positionFrom(StartFen)), 0);
    // Scale 0: nothing is computed, and nothing is left in the cache.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4KN2 w - - 0 1", "4k3/8/8/2b5/8/8/8/4K3 b - - 0 1"}) {
        auto p = positionFrom(fen);
        EXPECT_EQ(evaluate(*p), 0) << fen;
        EXPECT_FALSE(scoreCacheHolds(*p)) << fen;
    }
    auto w = positionFrom("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
    auto b = positionFrom("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 4 4");
    EXPECT_NE(evaluate(*w), 0);
    EXPECT_EQ(evaluate(*w), -evaluate(*b));
}

int scoreWithColdCaches(Position& p) {
    clearEvaluationCaches();
    return evaluate(p);
}
int unscaledBalance(const Position& p) {
    return materialBalance(countMaterial(p, White), countMaterial(p, Black));
}

// Every term of one side has its mirrored counterpart of the other; only the rounding of the
// phase blend and the scaling (towards minus infinity) may differ, by up to 3. Positions with
// an exactly even unscaled balance are left out: the tie then counts as Black leading, which
// picks different scale factors in a position and its mirror. The caches must not change a
// score: warm and cold evaluations agree, and so does the traced one.
TEST(Evaluate, ColourMirrorScoresTheSameAndCachesAgree) {
    std::vector<std::string> fens = readFenLines(TOLVO_PERFT_SUITE);
    fens.push_back(StartFen);
    ASSERT_GT(fens.size(), 100u);
    clearEvaluationCaches();
    int compared = 0, skipped = 0;
    forEachSamplePosition(
        fens, StandardSampleCount, StandardSampleSeed, StandardSampleMaxPlies, [&](Position& p) {
            auto m = colourMirror(p);
            ASSERT_TRUE(isSearchable(*m));
            const int warm = evaluate(p), warmMirror = evaluate(*m);
            const int cold = scoreWithColdCaches(p), coldMirror = scoreWithColdCaches(*m);
            ASSERT_EQ(warm, cold);
            ASSERT_EQ(warmMirror, coldMirror);
            EvalTrace t;
            ASSERT_EQ(evaluateTraced(p, t), cold);
            if (unscaledBalance(p) == 0 || unscaledBalance(*m) == 0) {
                ++skipped;
                return;
            }
            ASSERT_LE(std::abs(cold - coldMirror), 3)
                << "score " << cold << " mirror " << coldMirror;
            ++compared;
        });
    EXPECT_GT(compared, 3000);
    EXPECT_LT(skipped, compared);
}

}  // namespace
