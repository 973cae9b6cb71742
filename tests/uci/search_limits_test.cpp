// Searches through the pipe: where each limit ends them, what the traffic options let through,
// and the scores and moves of the final report and "bestmove".
#include "support/engine_pipe.h"

namespace {

using SearchLimits = EitherEngineTest;

// The final report is the last "info depth" line before "bestmove".
std::string finalReport(const std::vector<std::string>& lines) {
    return lastWithPrefix(lines, "info depth");
}

TEST_P(SearchLimits, EachLimitEndsTheSearchAtItsDepth) {
    ASSERT_TRUE(engine.send("position startpos"));
    // One node still completes the first iteration. No "stop" is sent: the depth and node
    // limits alone beat infinite and a move time.
    const struct {
        const char *go, *depth;  // of the final report; "" when any
    } cases[] = {{"go depth 1", "1"},
                 {"go depth 4", "4"},
                 {"go nodes 1", "1"},
                 {"go infinite depth 2", "2"},
                 {"go depth 2 movetime 60000", "2"},
                 {"go nodes 20000 movetime 60000", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.go);
        const std::vector<std::string> lines = engine.go(c.go, 5000);
        EXPECT_TRUE(!*c.depth || fieldOf(finalReport(lines), "depth") == c.depth)
            << finalReport(lines);
    }
    EXPECT_GT(std::stoull(fieldOf(finalReport(engine.go("go nodes 1")), "nodes")), 1u);
}

// Each row: the options, then how many lines of each kind a search to depth 3 prints.
TEST_P(SearchLimits, TrafficOptionsGateEachKindOfReport) {
    const struct {
        const char *limit, *depth;
        int depth1, depth2, depth3;                    // "info depth N" lines; -1 for at least 2
        int nodes, currmove;                           // at most
    } cases[] = {{"Normal", "10", 0, 0, 1, 0, 0},      // the defaults: the final report only
                 {"Ultrafast", "0", 0, 0, 1, 0, 0},    // the final report, whatever the depth
                 {"Fast", "2", 0, 1, 2, 0, 0},         // finished iterations from depth 2
                 {"Ignore", "10", -1, -1, -1, 1, 1},   // everything; timed lines once per 1000 s
                 {"Ignore", "10", -1, -1, -1, 0, 0}};  // ... and not again so soon
    ASSERT_TRUE(engine.send("position startpos"));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.limit) + " " + c.depth);
        ASSERT_TRUE(engine.send(std::string("setoption name Traffic Limit value ") + c.limit));
        ASSERT_TRUE(engine.send(std::string("setoption name Traffic Depth value ") + c.depth));
        const std::vector<std::string> lines = engine.go("go depth 3");
        const int counts[3] = {countPrefix(lines, "info depth 1 "),
                               countPrefix(lines, "info depth 2 "),
                               countPrefix(lines, "info depth 3 ")};
        const int expected[3] = {c.depth1, c.depth2, c.depth3};
        for (int d = 0; d < 3; ++d)
            EXPECT_TRUE(expected[d] < 0 ? counts[d] >= 2 : counts[d] == expected[d]) << d + 1;
        EXPECT_LE(countPrefix(lines, "info nodes"), c.nodes);
        EXPECT_LE(countPrefix(lines, "info currmove"), c.currmove);
        if (c.depth1 == 0 && c.depth3 == 1) {
            EXPECT_EQ(lines.size(), 2u);  // the final report and "bestmove" alone
        }
    }
}

// "Analyse" adds the move being searched to what "Normal" prints. In a fresh engine the first
// such line prints, then every one from depth 10: at depth 10 from the start, 20 root moves.
TEST(TrafficLimit, AnalyseAddsTheMoveBeingSearchedToWhatNormalPrints) {
    for (const auto& c : {std::make_pair("Normal", 2), std::make_pair("Analyse", 22)}) {
        SCOPED_TRACE(c.first);
        Pipe engine;
        ASSERT_TRUE(engine.ready().empty());
        ASSERT_TRUE(engine.send(std::string("setoption name Traffic Limit value ") + c.first));
        ASSERT_TRUE(engine.send("setoption name Traffic Depth value 0"));
        ASSERT_TRUE(engine.send("position startpos"));
        EXPECT_EQ(countPrefix(engine.go("go depth 10", 60000), "info currmove "), c.second);
    }
}

TEST_P(SearchLimits, InfiniteReportsEveryKind) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    std::vector<std::string> lines = engine.within(500);
    ASSERT_TRUE(engine.send("stop"));
    ASSERT_TRUE(engine.until("bestmove", &lines));
    // The first iteration reports already; the current-move line is forced for the first move.
    EXPECT_GT(countPrefix(lines, "info depth 1 "), 0);
    EXPECT_GT(countPrefix(lines, "info nodes"), 0);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return startsWith(l, "info currmove") && l.substr(l.size() - 17) == " currmovenumber 1";
    }));
}

TEST_P(SearchLimits, ScoresOfBothSignsAndRootsWithoutMoves) {
    const int Big = 1000000;
    // A queen up either way; White mates in two (Ra7 or Rb7, then the other rook to the back
    // rank) and a found mate ends even a deep search; Black is mated next move whatever it
    // plays; then roots without moves, mated and stalemate.
    const struct {
        const char *fen, *go, *kind;  // "cp" or "mate"
        int low, high;                // bounds of the score
        const char* moves;            // the moves "bestmove" may name; "" for any
    } cases[] = {{"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "go depth 3", "cp", 301, Big, ""},
                 {"4k3/8/8/8/8/8/8/3QK3 b - - 0 1", "go depth 3", "cp", -Big, -301, ""},
                 {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", "go depth 40", "mate", 2, 2, "a2a7 b1b7"},
                 {"7k/R7/8/8/8/8/8/1R4K1 b - - 0 1", "go depth 4", "mate", -1, -1, "h8g8"},
                 {"R6k/R7/8/8/8/8/8/6K1 b - - 0 1", "go depth 3", "mate", 0, 0, "a1a1"},
                 {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 3", "cp", 0, 0, "a1a1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        ASSERT_TRUE(engine.send(std::string("position fen ") + c.fen));
        const std::vector<std::string> lines = engine.go(c.go, 5000);
        const std::string score = fieldOf(finalReport(lines), c.kind);
        ASSERT_FALSE(score.empty()) << finalReport(lines);
        EXPECT_GE(std::stoi(score), c.low);
        EXPECT_LE(std::stoi(score), c.high);
        const std::string move = lastWithPrefix(lines, "bestmove").substr(9, 4);
        EXPECT_TRUE(!*c.moves || std::string(c.moves).find(move) != std::string::npos) << move;
    }
}

RUN_FOR_EITHER_ENGINE(SearchLimits);

}  // namespace
