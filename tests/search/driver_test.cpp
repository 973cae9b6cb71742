#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/root.h"
#include "search_support.h"

namespace {

const char* const Middlegame = "r1bqkb1r/pp3ppp/2n1pn2/2pp4/3P4/2PBPN2/PP3PPP/RNBQK2R w KQkq - 0 6";

// What the hooks were called with, in order.
std::vector<std::string> calls;
int activeDuringReports;
Move reportedBest;

void onPv(int score, int depth, int, const PvLine& pv) {
    calls.push_back("pv " + std::to_string(depth) + " " + std::to_string(score) + " " +
                    std::to_string(pv.count));
    activeDuringReports += SearchActive;
}
void onBestMove(Move m, const PvLine&) {
    calls.push_back("bestmove");
    reportedBest = m;
}
void onCurrentMove(Move, int n) {
    calls.push_back("currmove " + std::to_string(n));
}
void onNodes(bool) {
    calls.push_back("nodes");
}

// A search to the depth with the reports recorded under the traffic options.
void searchWithReports(int plies, int32_t trafficLimit, int32_t trafficDepth) {
    prepareTestSearch(ModeDepth);
    Limits.depth = uint16_t(plies);
    TrafficLimit = trafficLimit;
    TrafficDepth = trafficDepth;
    calls.clear();
    activeDuringReports = 0;
    reportedBest = 0xFFFF;
    Reporter = SearchReporter{onPv, onBestMove, onCurrentMove, onNodes};
    SearchDriver(setUp(Middlegame));
}

class Driver : public ::testing::Test {
   protected:
    void TearDown() override {
        TrafficLimit = savedLimit;
        TrafficDepth = savedDepth;
        Limits = SearchLimits{};
        Reporter = SearchReporter{};
    }
    const int32_t savedLimit = TrafficLimit, savedDepth = TrafficDepth;
};

TEST_F(Driver, SameSearchFromAClearedStateGivesTheSameResultWhateverIsReported) {
    const SearchResult a = searchToDepth(Middlegame, 6);
    const uint64_t nodes = NodeCount;
    const SearchResult b = searchToDepth(Middlegame, 6);
    EXPECT_EQ(NodeCount, nodes);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.move, b.move);
    EXPECT_EQ(a.depth, 6);
    EXPECT_NE(a.move, 0);
    searchToDepth(Middlegame, 5);
    const uint64_t quiet = NodeCount;
    searchWithReports(5, 4, 0);
    EXPECT_EQ(NodeCount, quiet);
    EXPECT_GT(calls.size(), 10u);
}

TEST_F(Driver, FinalReportAndBestMoveAreAlwaysPrintedLastWhileTheSearchIsActive) {
    searchWithReports(3, 0, 0);  // Ultrafast: nothing else
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "pv 3 " + std::to_string(LastResult.score) + " " +
                            std::to_string(LastResult.pv.count));
    EXPECT_EQ(calls[1], "bestmove");
    EXPECT_EQ(reportedBest, LastResult.move);
    EXPECT_EQ(activeDuringReports, 1);
    EXPECT_EQ(SearchActive, 0);
}

TEST_F(Driver, NormalReportsNewBestMovesButNeverTheMoveAboutToBeSearched) {
    searchWithReports(3, 2, 2 * 3);
    int nodes = 0, pvs = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        nodes += calls[i] == "nodes";
        pvs += calls[i].rfind("pv 3", 0) == 0;
        // A new best at depth 3 prints its current-move line only through the time gate,
        // and every such line comes right before a node report.
        if (calls[i].rfind("currmove", 0) == 0) {
            ASSERT_LT(i + 1, calls.size());
            EXPECT_EQ(calls[i + 1], "nodes");
        }
    }
    EXPECT_GE(nodes, 1);
    EXPECT_EQ(pvs, nodes + 2);  // each new best, the iteration, the final report
}

TEST_F(Driver, TrafficLimitAndDepthGateEachReportKind) {
    TrafficDepth = 20;
    const bool expected[5][3] = {{false, false, false},
                                 {true, false, false},
                                 {true, true, false},
                                 {true, true, true},
                                 {true, true, true}};
    for (int t = 0; t < 5; ++t) {
        TrafficLimit = t;
        for (int kind = 0; kind < 3; ++kind) {
            EXPECT_EQ(ShouldReport(20, kind), expected[t][kind]) << t << " " << kind;
            EXPECT_EQ(ShouldReport(18, kind), t == 4) << t << " " << kind;
        }
    }
    // An infinite search reports every kind at every depth, whatever the options.
    Limits.infinite = 1;
    TrafficLimit = 0;
    for (int kind = 0; kind < 3; ++kind) EXPECT_TRUE(ShouldReport(2, kind));
}

TEST(SearchLimitsInDriver, MateFoundEndsEvenAnInfiniteSearch) {
    prepareTestSearch(ModeInfinite);
    Limits.infinite = 1;
    SearchDriver(setUp("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"));
    EXPECT_EQ(LastResult.score, MateScore - 1);
    EXPECT_LE(LastResult.depth, 2);
}

TEST(SearchLimitsInDriver, RootWithoutMovesEndsUnderAnyLimitWithMoveZero) {
    prepareTestSearch(ModeInfinite);
    Limits.infinite = 1;
    SearchDriver(setUp("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"));
    EXPECT_EQ(LastResult.move, 0);
    EXPECT_EQ(IterationDepth, 512);
}

TEST(RootMoves, PrincipalVariationIsLeftInTheTableForTheNextIteration) {
    const SearchResult r = searchToDepth(Middlegame, 5);
    ASSERT_GE(r.pv.count, 3);
    Position& p = setUp(Middlegame);
    UndoInfo undo[127];
    for (int i = 0; i < r.pv.count; ++i) {
        EXPECT_EQ(probeMove(p), r.pv.moves[i]) << i;
        makeMove(p, undo[i], r.pv.moves[i]);
    }
}

TEST(RootMoves, EveryLegalMoveOnceWithTheTableMoveFirst) {
    prepareTestSearch(ModeDepth);
    Position& p = setUp(Middlegame);
    const Move hash = textToMove(p, "d3h7");
    storeEntry(p, hash, 0, 0, BoundNone, 0);
    MoveList root;
    BuildRootMoves(p, root);
    ASSERT_GT(root.count, 20);
    EXPECT_EQ(root.moveWords[0], hash);
    for (int i = 1; i < root.count; ++i) EXPECT_NE(root.moveWords[i], hash);
}

}  // namespace
