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

// Castling from every start: king and rook on any files, either already on its destination,
// the rook's attacker hidden behind it. The sanitizer builds stop at depth 3.
TEST(Perft, EveryChess960PositionMatchesItsPublishedCounts) {
    for (const SuitePosition& line : chess960Table()) {
        Position& p = setUp(line.fen.c_str());
        ASSERT_TRUE(isSearchable(p)) << line.fen;
        for (const auto& [depth, expected] : line.counts) {
            if (depth > TOLVO_CHESS960_DEPTH) continue;
            EXPECT_EQ(perft(p, depth), expected) << line.fen << " depth " << depth;
        }
    }
}

}  // namespace
