// A parallel search through a pipe, at two threads: what the GUI sees must not depend on the
// helpers: one legal "bestmove" per "go", every way of ending a search, and a clean exit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

// White's twenty first moves.
const std::string FirstMoves =
    " a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1a3 b1c3 "
    "g1f3 g1h3 ";

std::string moveOf(const std::string& bestMoveLine) {
    const size_t end = bestMoveLine.find(' ', 9);
    return bestMoveLine.size() > 9 ? bestMoveLine.substr(9, end - 9) : "";
}

class TwoThreads : public EngineTest {
   protected:
    void SetUp() override {
        EngineTest::SetUp();
        threads(2);
        ASSERT_TRUE(engine.send("position startpos"));
    }
    void threads(int n) {
        ASSERT_TRUE(engine.send("setoption name Threads value " + std::to_string(n)));
        ASSERT_TRUE(syncReady(engine).empty());
    }
    // A search that runs until released: nothing before, one legal move after.
    void start(const std::string& go) {
        ASSERT_TRUE(engine.send(go));
        expectNoBestMoveWithin(engine, 300);
        // "isready" is answered while the threads search.
        EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
    }
    void release(const std::string& command) {
        ASSERT_TRUE(engine.send(command));
        std::optional<std::string> best = engine.readUntilPrefix("bestmove", ReplyMs);
        ASSERT_TRUE(best.has_value());
        expectFirstMove(*best);
        EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0) << "a second bestmove";
    }
    static void expectFirstMove(const std::string& best) {
        EXPECT_NE(FirstMoves.find(" " + moveOf(best) + " "), std::string::npos) << best;
    }
};

TEST_F(TwoThreads, EveryLimitEndsWithOneLegalBestMove) {
    for (const char* go : {"go depth 7", "go nodes 30000", "go movetime 200",
                           "go wtime 3000 btime 3000 winc 10 binc 10", "go mate 1 depth 3"}) {
        SCOPED_TRACE(go);
        const std::vector<std::string> lines = goAndWait(engine, go);
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        expectFirstMove(lines.back());
        EXPECT_TRUE(syncReady(engine).empty());
    }
}

TEST_F(TwoThreads, StopAndPonderhitEndSearchesWhileHelpersRun) {
    for (const auto& [go, command] : {std::pair{"go infinite", "stop"},
                                      {"go ponder wtime 60000 btime 60000", "ponderhit"},
                                      {"go ponder wtime 60000 btime 60000", "stop"},
                                      {"go mate 3", "stop"}}) {
        SCOPED_TRACE(go);
        start(go);
        release(command);
    }
}

TEST_F(TwoThreads, DepthLimitHoldsForTheChosenResult) {
    // A helper may search beyond the main thread, but only iterations up to the limit count.
    for (int depth : {3, 6}) {
        const std::vector<std::string> lines =
            goAndWait(engine, "go depth " + std::to_string(depth));
        EXPECT_EQ(fieldOf(lastWithPrefix(lines, "info depth"), "depth"), std::to_string(depth));
    }
}

TEST_F(TwoThreads, NodeLimitCountsEveryThread) {
    // The main thread alone would stop only once its own count passed the limit, with the
    // helper's nodes on top; counted together they stop close to it.
    const uint64_t limit = 400000;
    const std::vector<std::string> lines = goAndWait(engine, "go nodes " + std::to_string(limit));
    const uint64_t nodes = std::stoull(fieldOf(lastWithPrefix(lines, "info depth"), "nodes"));
    EXPECT_GT(nodes, limit);
    EXPECT_LT(nodes, limit + limit / 2);
}

TEST_F(TwoThreads, PoolCanGrowAndShrinkBetweenSearchesAndWaitsForARunningOne) {
    for (int n : {4, 1, 3, 2}) {
        threads(n);
        const std::vector<std::string> lines = goAndWait(engine, "go depth 5");
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        expectFirstMove(lines.back());
    }
    // Sent during a search, a new count waits for its end.
    start("go infinite");
    ASSERT_TRUE(engine.send("setoption name Threads value 1"));
    ASSERT_TRUE(engine.send("setoption name Threads value 3"));
    release("stop");
    EXPECT_EQ(countPrefix(goAndWait(engine, "go depth 5"), "bestmove"), 1);
}

TEST(ThreadsSession, QuitOrEndOfInputWithHelpersRunningExitsZero) {
    struct Case {
        const char* input;
        bool quits;  // "quit" ends a search without a "bestmove"; the end of input stops it
    };
    for (const Case& c : {Case{"go infinite\nquit\n", true}, Case{"go infinite\n", false},
                          Case{"go ponder wtime 1000 btime 1000\n", false},
                          Case{"go depth 40\nisready\n", false}}) {
        SCOPED_TRACE(c.input);
        ChildProcess engine{TOLVO_ENGINE_PATH};
        ASSERT_TRUE(engine.started());
        ASSERT_TRUE(engine.write("setoption name Threads value 2\nposition startpos\n"));
        ASSERT_TRUE(engine.write(c.input));
        // The helpers get going before the input ends.
        std::vector<std::string> lines = engine.linesWithin(300);
        const SessionEnd end = finish(engine, !c.quits);
        EXPECT_EQ(end.exitCode, 0);
        int bestMoves = countPrefix(lines, "bestmove");
        for (size_t at = end.output.find("bestmove"); at != std::string::npos;
             at = end.output.find("bestmove", at + 1))
            ++bestMoves;
        EXPECT_EQ(bestMoves, c.quits ? 0 : 1);
    }
}

}  // namespace
