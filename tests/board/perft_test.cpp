#include "board/perft.h"

#include "board/positions.h"

namespace {

// Depth five and six of the suite belong to tolvo-perft --suite: minutes, not seconds.
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

}  // namespace
