#include "board/perft.h"

#include <gtest/gtest.h>

#include "board/fen.h"
#include "board/perft_suite.h"

namespace {

void expectCounts(const SuitePosition& line, int maxDepth) {
    static Position p;
    loadFen(p, line.fen.c_str());
    ASSERT_TRUE(isSearchable(p)) << line.fen;
    for (const auto& [depth, expected] : line.counts) {
        if (depth > maxDepth) continue;
        EXPECT_EQ(perft(p, depth), expected) << line.fen << " depth " << depth;
    }
}

TEST(Perft, EverySuitePositionMatchesItsPublishedCountsToDepthFour) {
    for (const SuitePosition& line : perftSuite()) expectCounts(line, 4);
}

TEST(Perft, StartPositionAndSecondSuiteLineMatchAtDepthFive) {
    const auto& suite = perftSuite();
    ASSERT_GE(suite.size(), 2u);
    EXPECT_EQ(suite[0].fen, StartFen);
    static Position p;
    loadFen(p, StartFen);
    EXPECT_EQ(perft(p, 5), 4865609u);
    loadFen(p, suite[1].fen.c_str());
    EXPECT_EQ(perft(p, 5), 193690690u);
}

}  // namespace
