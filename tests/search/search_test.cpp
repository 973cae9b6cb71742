#include <gtest/gtest.h>

#include "search/nodes.h"
#include "search_support.h"
#include "uci/position_command.h"

namespace {

const char* const QueenUp = "4k3/8/8/8/8/8/8/3QK3 w - - 0 1";

TEST(Search, FindsMatesWithTheirDistanceAndWinsMaterialSoundly) {
    const struct {
        const char* fen;
        int plies;
        const char* move;  // the best move, or with '!' one it must not play
        int low, high;     // bounds of the score
    } cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 2, "d1d8", MateScore - 1, MateScore - 1},
        // A queen sacrifice, then a smothered mate after a double check.
        {"r6k/6pp/7N/8/8/1Q6/8/6K1 w - - 0 1", 4, "b3g8", MateScore - 3, MateScore - 3},
        {"r5k1/5Npp/8/8/2Q5/8/8/6K1 w - - 0 1", 6, "f7h6", MateScore - 5, MateScore - 5},
        // A free queen is taken; a queen for a guarded pawn is not.
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", 4, "d2d5", 301, MateBound},
        {"4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", 4, "!d2d5", 501, MateBound},
        // The fifty-move rule on the next move makes even a queen up a draw.
        {"8/8/8/4k3/8/8/8/Q3K3 w - - 99 80", 3, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        const SearchResult r = searchToDepth(c.fen, c.plies);
        const bool avoid = c.move[0] == '!';
        ASSERT_NE(r.move, 0);
        EXPECT_TRUE(!*c.move || (r.move == textToMove(setUp(c.fen), c.move + avoid)) != avoid);
        EXPECT_GE(r.score, c.low);
        EXPECT_LE(r.score, c.high);
        ASSERT_GE(r.pv.count, 1);
        EXPECT_EQ(r.pv.moves[0], r.move);
    }
}

// Nodes as they are met deep in the tree: the side without a move scores ply - MateScore when
// in check and 0 otherwise, in every node kind of both searches.
template <class P>
void expectMatedAndStalematedScores() {
    using Main = MainSearch<P>;
    using Quiescence = QuiescenceSearch<P>;
    prepareTestSearch(ModeDepth);
    PvLine line{};
    SearchThread& p =
        threadOn(setUp("rnb1kbnr/pppp1ppp/8/4p3/5PPq/8/PPPPP2P/RNBQKBNR w KQkq - 1 3"));
    const int mated = 3 - MateScore;
    EXPECT_EQ(Main::pv[1](p, -MateScore, MateScore, 8, 3, AnyNode, line), mated);
    EXPECT_EQ(Main::cut[1](p, 0, 8, 3, AnyNode), mated);
    EXPECT_EQ(Main::all[1](p, 0, 8, 3, AnyNode), mated);
    EXPECT_EQ(Main::shallow[1](p, 0, 4, 3, AnyNode), mated);
    EXPECT_EQ(Quiescence::scout[1](p, 0, 0, 3), mated);
    EXPECT_EQ(Quiescence::pv[1](p, -MateScore, MateScore, 0, 3, line), mated);
    EXPECT_EQ(line.count, 0);
    SearchThread& q = threadOn(setUp("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"));
    EXPECT_EQ(Main::pv[0](q, -MateScore, MateScore, 8, 3, AnyNode, line), 0);
    EXPECT_EQ(Main::cut[0](q, 0, 8, 3, AnyNode), 0);
    EXPECT_EQ(Main::all[0](q, 0, 8, 3, AnyNode), 0);
    // A mate already found at ply 2 cannot be improved at ply 5.
    EXPECT_EQ(Main::pv[0](threadOn(setUp(QueenUp)), MateScore - 2, MateScore, 8, 5, AnyNode, line),
              MateScore - 2);
}

TEST(NodeScores, MatedAndStalematedSidesScoreInEveryNodeKind) {
    expectMatedAndStalematedScores<SpecifiedPolicy>();
    expectMatedAndStalematedScores<NetworkPolicy>();
}

TEST(DrawTest, RepetitionFourHalfMovesBackWithinTheQuietStretchOrFiftyMoves) {
    static Position p;
    positionCommand(p, "position fen 4k3/8/8/8/8/8/8/3QK3 w - - 0 1 moves d1d2 e8e7 d2d1");
    EXPECT_FALSE(IsDraw(p));  // rule50 is 3: nothing is compared
    positionCommand(p, "position fen 4k3/8/8/8/8/8/8/3QK3 w - - 0 1 moves d1d2 e8e7 d2d1 e7e8");
    EXPECT_TRUE(IsDraw(p));
    prepareTestSearch(ModeDepth);
    EXPECT_EQ(MainSearch<SpecifiedPolicy>::cut[0](threadOn(p), 1, 8, 1, AnyNode), 0);
    EXPECT_FALSE(IsDraw(setUp("4k3/8/8/8/8/8/8/3QK3 w - - 99 90")));
    EXPECT_TRUE(IsDraw(setUp("4k3/8/8/8/8/8/8/3QK3 w - - 100 90")));
    // The record's own key lies just before the history: reading there would find a match.
    EXPECT_FALSE(IsDraw(setUp("4k3/8/8/8/8/8/8/3QK3 w - - 60 90")));
}

}  // namespace
