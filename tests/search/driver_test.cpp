#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
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

void recordReports() {
    calls.clear();
    activeDuringReports = 0;
    reportedBest = 0xFFFF;
    Reporter = SearchReporter{onPv, onBestMove, onCurrentMove, onNodes};
}

class Driver : public ::testing::Test {
   protected:
    void SetUp() override {
        savedLimit = TrafficLimit;
        savedDepth = TrafficDepth;
    }
    void TearDown() override {
        TrafficLimit = savedLimit;
        TrafficDepth = savedDepth;
        Reporter = SearchReporter{};
    }
    int32_t savedLimit = 0, savedDepth = 0;
};

TEST_F(Driver, SameSearchTwiceFromAClearedStateGivesTheSameResult) {
    const SearchResult a = searchToDepth(Middlegame, 6);
    const uint64_t nodesA = NodeCount;
    const SearchResult b = searchToDepth(Middlegame, 6);
    EXPECT_EQ(NodeCount, nodesA);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.move, b.move);
    EXPECT_EQ(a.depth, 6);
    EXPECT_NE(a.move, 0);
}

TEST_F(Driver, ReportsNeverChangeWhatIsSearched) {
    searchToDepth(Middlegame, 5);
    const uint64_t quiet = NodeCount;
    prepareTestSearch(ModeDepth);
    Limits.depth = 5;
    TrafficLimit = 4;
    recordReports();
    SearchDriver(positionFromFen(Middlegame));
    EXPECT_EQ(NodeCount, quiet);
    EXPECT_GT(calls.size(), 10u);
}

TEST_F(Driver, FinalReportAndBestMoveAreAlwaysPrintedLast) {
    prepareTestSearch(ModeDepth);
    Limits.depth = 3;
    TrafficLimit = 0;  // Ultrafast: nothing else
    recordReports();
    SearchDriver(positionFromFen(Middlegame));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "pv 3 " + std::to_string(LastResult.score) + " " +
                            std::to_string(LastResult.pv.count));
    EXPECT_EQ(calls[1], "bestmove");
    EXPECT_EQ(reportedBest, LastResult.move);
    EXPECT_EQ(activeDuringReports, 1);
    EXPECT_EQ(SearchActive, 0);
}

TEST_F(Driver, FastReportsEachIterationFromTheTrafficDepthOn) {
    prepareTestSearch(ModeDepth);
    Limits.depth = 4;
    TrafficLimit = 1;
    TrafficDepth = 2 * 2;
    recordReports();
    SearchDriver(positionFromFen(Middlegame));
    const std::vector<std::string> kinds = {"pv 2", "pv 3", "pv 4", "pv 4", "bestmove"};
    ASSERT_EQ(calls.size(), kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(calls[i].rfind(kinds[i], 0), 0u) << i;
}

TEST_F(Driver, NormalReportsNewBestMovesButNeverTheMoveAboutToBeSearched) {
    prepareTestSearch(ModeDepth);
    Limits.depth = 3;
    TrafficLimit = 2;
    TrafficDepth = 2 * 3;
    recordReports();
    SearchDriver(positionFromFen(Middlegame));
    int nodes = 0, pvs = 0;
    for (const std::string& c : calls) {
        nodes += c == "nodes";
        pvs += c.rfind("pv 3", 0) == 0;
    }
    EXPECT_GE(nodes, 1);
    EXPECT_EQ(pvs, nodes + 2);  // each new best, the iteration, the final report
    // A new best at depth 3 prints its current-move line only through the time gate, and
    // every such line comes right before a node report.
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i].rfind("currmove", 0) == 0) {
            EXPECT_EQ(calls[i + 1], "nodes");
        }
    }
}

TEST(ShouldReportTable, TrafficLimitAndDepthGateEachKind) {
    const int32_t limit = TrafficLimit, depth = TrafficDepth;
    Limits = SearchLimits{};
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
    Limits = SearchLimits{};
    TrafficLimit = limit;
    TrafficDepth = depth;
}

// Nested "go" lines are dispatched from inside the search; a second search must not start.
Position* nestedRoot;
int bestMoves;
void nestedOnPv(int, int, int, const PvLine&) {
    SearchDriver(*nestedRoot);
}
void countBestMove(Move, const PvLine&) {
    ++bestMoves;
}

TEST_F(Driver, SearchStartedFromInsideASearchIsIgnored) {
    prepareTestSearch(ModeDepth);
    Limits.depth = 3;
    TrafficLimit = 4;
    nestedRoot = &positionFromFen(Middlegame);
    bestMoves = 0;
    Reporter = SearchReporter{nestedOnPv, countBestMove, nullptr, nullptr};
    SearchDriver(*nestedRoot);
    EXPECT_EQ(bestMoves, 1);
    EXPECT_EQ(LastResult.depth, 3);
}

TEST(SearchLimitsInDriver, DepthOneEndsAfterTheFirstIteration) {
    const SearchResult r = searchToDepth(Middlegame, 1);
    EXPECT_EQ(r.depth, 1);
    EXPECT_EQ(IterationDepth, 4);
}

TEST(SearchLimitsInDriver, OneNodeStillCompletesTheFirstIteration) {
    prepareTestSearch(ModeNodes);
    Limits.nodes = 1;
    SearchDriver(positionFromFen(Middlegame));
    EXPECT_EQ(LastResult.depth, 1);
    EXPECT_NE(LastResult.move, 0);
}

TEST(SearchLimitsInDriver, MateModeEndsAtTheFirstCheckAfterTheFirstIteration) {
    prepareTestSearch(ModeMate);
    Limits.mate = 3;
    SearchDriver(positionFromFen(Middlegame));
    EXPECT_EQ(LastResult.depth, 1);
}

TEST(SearchLimitsInDriver, MateFoundEndsEvenAnInfiniteSearch) {
    prepareTestSearch(ModeInfinite);
    Limits.infinite = 1;
    SearchDriver(positionFromFen("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"));
    EXPECT_EQ(LastResult.score, MateScore - 1);
    EXPECT_LE(LastResult.depth, 2);
}

TEST(SearchLimitsInDriver, RootWithoutMovesEndsUnderAnyLimitWithMoveZero) {
    prepareTestSearch(ModeInfinite);
    Limits.infinite = 1;
    SearchDriver(positionFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"));
    EXPECT_EQ(LastResult.move, 0);
    EXPECT_EQ(IterationDepth, 512);
}

TEST(SearchLimitsInDriver, ClockSearchStaysInsideItsHardLimit) {
    prepareTestSearch(ModeClock);
    timeBudget = 50;
    timeBudgetMax = 100000;
    timeHardLimit = 150;
    TimeTrouble = 1;  // the budget may stop it mid-iteration
    const uint64_t start = tickCountMs();
    SearchDriver(positionFromFen(Middlegame));
    EXPECT_LT(tickCountMs() - start, 1000u);
    EXPECT_NE(LastResult.move, 0);
}

TEST(SearchLimitsInDriver, FixedMoveTimeIsKeptWithoutASoftStop) {
    prepareTestSearch(ModeMoveTime);
    Limits.movetime = 100;
    const uint64_t start = tickCountMs();
    SearchDriver(positionFromFen(Middlegame));
    EXPECT_LT(tickCountMs() - start, 1000u);
    EXPECT_NE(LastResult.move, 0);
}

int pollsSeen;
void stopOnFirstPoll() {
    ++pollsSeen;
    Limits.stopRequested = 1;
}

TEST(SearchLimitsInDriver, StopReadByThePollEndsTheSearchAfterTheFirstIteration) {
    prepareTestSearch(ModeInfinite);
    Limits.infinite = 1;
    pollsSeen = 0;
    InputPoll = stopOnFirstPoll;
    SearchDriver(positionFromFen(Middlegame));
    InputPoll = nullptr;
    EXPECT_EQ(pollsSeen, 1);
    EXPECT_GE(LastResult.depth, 1);
    EXPECT_NE(LastResult.move, 0);
}

TEST(RootMoves, PrincipalVariationIsLeftInTheTableForTheNextIteration) {
    const SearchResult r = searchToDepth(Middlegame, 5);
    ASSERT_GE(r.pv.count, 3);
    static Position p;
    p = positionFromFen(Middlegame);
    UndoInfo undo[127];
    for (int i = 0; i < r.pv.count; ++i) {
        EXPECT_EQ(probeMove(p), r.pv.moves[i]) << i;
        makeMove(p, undo[i], r.pv.moves[i]);
    }
}

TEST(RootMoves, EveryLegalMoveOnceWithTheTableMoveFirst) {
    prepareTestSearch(ModeDepth);
    Position& p = positionFromFen(Middlegame);
    SearchStack[0] = SearchStackEntry{};
    p.stack = &SearchStack[0];
    p.stack->pinned = 0;
    const Move hash = textToMove(p, "d3h7");
    storeEntry(p, hash, 0, 0, BoundNone, 0);
    MoveList root;
    BuildRootMoves(p, root);
    ASSERT_GT(root.count, 20);
    EXPECT_EQ(root.moveWords[0], hash);
    for (int i = 1; i < root.count; ++i) EXPECT_NE(root.moveWords[i], hash);
}

}  // namespace
