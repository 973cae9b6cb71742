#include "board/perft.h"

#include "board/positions.h"

namespace {

TEST(Perft, EverySuitePositionMatchesItsPublishedCountsToDepthFour) {
    for (const SuitePosition& line : perftSuite()) {
        Position& p = setUp(line.fen.c_str());
        ASSERT_TRUE(isSearchable(p)) << line.fen;
        for (const auto& [depth, expected] : line.counts) {
            if (depth > 4) continue;
            EXPECT_EQ(perft(p, depth), expected) << line.fen << " depth " << depth;
        }
    }
}

TEST(Perft, StartPositionAndSecondSuiteLineMatchAtDepthFive) {
    ASSERT_GE(perftSuite().size(), 2u);
    EXPECT_EQ(perft(setUp(StartFen), 5), 4865609u);
    EXPECT_EQ(perft(setUp(perftSuite()[1].fen.c_str()), 5), 193690690u);
}

}  // namespace
