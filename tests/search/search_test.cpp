#include <gtest/gtest.h>

#include "search/nodes.h"
#include "search_support.h"

namespace {

const char* const QueenUp = "4k3/8/8/8/8/8/8/3QK3 w - - 0 1";
const char* const FoolsMate = "rnb1kbnr/pppp1ppp/8/4p3/5PPq/8/PPPPP2P/RNBQKBNR w KQkq - 1 3";
const char* const Stalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";

TEST(SearchFindsMates, MatesInOneTwoAndThreeWithTheirDistance) {
    const struct {
        const char* fen;
        int plies;
        const char* firstMove;
        int matingPlies;
    } cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 2, "d1d8", 1},
        {"r6k/6pp/7N/8/8/1Q6/8/6K1 w - - 0 1", 4, "b3g8", 3},   // by a queen sacrifice
        {"r5k1/5Npp/8/8/2Q5/8/8/6K1 w - - 0 1", 6, "f7h6", 5},  // double check, smothered
    };
    for (const auto& c : cases) {
        const SearchResult r = searchToDepth(c.fen, c.plies);
        EXPECT_EQ(r.move, textToMove(setUp(c.fen), c.firstMove)) << c.fen;
        EXPECT_EQ(r.score, MateScore - c.matingPlies) << c.fen;
        ASSERT_GE(r.pv.count, 1);
        EXPECT_EQ(r.pv.moves[0], r.move);
    }
}

TEST(SearchMaterial, TakesAFreeQueenAndAvoidsALosingCapture) {
    const char* free = "4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1";
    SearchResult r = searchToDepth(free, 4);
    EXPECT_EQ(r.move, textToMove(setUp(free), "d2d5"));
    EXPECT_GT(r.score, 300);
    const char* guarded = "4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1";
    r = searchToDepth(guarded, 4);
    EXPECT_NE(r.move, 0);
    EXPECT_NE(r.move, textToMove(setUp(guarded), "d2d5"));
    EXPECT_GT(r.score, 500);
}

// Nodes searched directly, as they are met deep in the tree.
class NodeScores : public ::testing::Test {
   protected:
    void SetUp() override { prepareTestSearch(ModeDepth); }
    PvLine line{};
};

TEST_F(NodeScores, MatedSideScoresPlyMinusMateAndStalematedZeroInEveryNodeKind) {
    Position& p = setUp(FoolsMate);
    const int mated = 3 - MateScore;
    EXPECT_EQ(SearchPv[1](p, -MateScore, MateScore, 8, 3, AnyNode, line), mated);
    EXPECT_EQ(SearchCut[1](p, 0, 8, 3, AnyNode), mated);
    EXPECT_EQ(SearchAll[1](p, 0, 8, 3, AnyNode), mated);
    EXPECT_EQ(SearchShallow[1](p, 0, 4, 3, AnyNode), mated);
    EXPECT_EQ(Quiesce[1](p, 0, 0, 3), mated);
    EXPECT_EQ(QuiescePv[1](p, -MateScore, MateScore, 0, 3, line), mated);
    EXPECT_EQ(line.count, 0);
    Position& q = setUp(Stalemate);
    EXPECT_EQ(SearchPv[0](q, -MateScore, MateScore, 8, 3, AnyNode, line), 0);
    EXPECT_EQ(SearchCut[0](q, 0, 8, 3, AnyNode), 0);
    EXPECT_EQ(SearchAll[0](q, 0, 8, 3, AnyNode), 0);
}

TEST_F(NodeScores, MateDistanceBoundsEndANodeThatCannotBeatAFasterMate) {
    Position& p = setUp(QueenUp);
    // A mate already found at ply 2 cannot be improved at ply 5.
    EXPECT_EQ(SearchPv[0](p, MateScore - 2, MateScore, 8, 5, AnyNode, line), MateScore - 2);
    EXPECT_EQ(line.count, 0);
    EXPECT_EQ(SearchCut[0](p, MateScore - 1, 8, 5, AnyNode), MateScore - 2);
}

TEST_F(NodeScores, RepetitionAndFiftyMoveDrawsScoreZeroBelowTheRoot) {
    Position& p = setUp(QueenUp);
    playMoves(p, "d1d2 e8e7 d2d1 e7e8");
    ASSERT_TRUE(IsDraw(p));
    EXPECT_EQ(SearchPv[0](p, -MateScore, MateScore, 6, 1, AnyNode, line), 0);
    EXPECT_EQ(SearchCut[0](p, 1, 8, 1, AnyNode), 0);
    Position& q = setUp("4k3/8/8/8/8/8/8/3QK3 w - - 100 90");
    EXPECT_EQ(SearchPv[0](q, -MateScore, MateScore, 6, 1, AnyNode, line), 0);
}

TEST(DrawTest, RepetitionFourHalfMovesBackWithinTheQuietStretch) {
    Position& p = setUp(QueenUp);
    playMoves(p, "d1d2 e8e7 d2d1");
    EXPECT_FALSE(IsDraw(p));  // rule50 is 3: nothing is compared
    playMoves(p, "e7e8");
    EXPECT_EQ(p.rule50, 4);
    EXPECT_TRUE(IsDraw(p));
}

TEST(DrawTest, FiftyMoveRuleAtAHundredHalfMovesAndNoKeyBeforeTheHistoryIsRead) {
    EXPECT_FALSE(IsDraw(setUp("4k3/8/8/8/8/8/8/3QK3 w - - 99 90")));
    EXPECT_TRUE(IsDraw(setUp("4k3/8/8/8/8/8/8/3QK3 w - - 100 90")));
    // The record's own key lies just before the history: reading there would find a match.
    Position& p = setUp("4k3/8/8/8/8/8/8/3QK3 w - - 60 90");
    ASSERT_EQ(p.keyCount, 1);
    EXPECT_FALSE(IsDraw(p));
}

TEST(SearchDraws, FiftyMoveRuleOnTheNextMoveScoresZero) {
    const SearchResult r = searchToDepth("8/8/8/4k3/8/8/8/Q3K3 w - - 99 80", 3);
    EXPECT_NE(r.move, 0);
    EXPECT_EQ(r.score, 0);
}

TEST(SearchDraws, LosingSideRepeatsAnEarlierPositionForADraw) {
    // Black, a queen down, is back where the game started: Ke7 repeats the position after
    // Black's first move, four half-moves back.
    Position& p = setUp("4k3/8/8/8/8/8/8/3QK3 b - - 0 1");
    playMoves(p, "e8e7 d1d2 e7e8 d2d1");
    prepareTestSearch(ModeDepth);
    Limits.depth = 4;
    SearchDriver(p);
    EXPECT_EQ(LastResult.move, textToMove(p, "e8e7"));
    EXPECT_EQ(LastResult.score, 0);
}

}  // namespace
