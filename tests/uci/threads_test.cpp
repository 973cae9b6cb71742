// A parallel search through a pipe, at two threads: what the GUI sees must not depend on the
// helpers: one legal "bestmove" per "go", every way of ending a search, and a clean exit.
#include "support/engine_pipe.h"

namespace {

bool isFirstMove(const std::string& bestMoveLine) {
    const std::string move = bestMoveLine.size() >= 13 ? bestMoveLine.substr(9, 4) : "none";
    return std::string(
               " a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 "
               "h2h3 h2h4 b1a3 b1c3 g1f3 g1h3 ")
               .find(" " + move + " ") != std::string::npos;
}

class TwoThreads : public EitherEngineTest {
   protected:
    void SetUp() override {
        EitherEngineTest::SetUp();
        threads(2);
        ASSERT_TRUE(engine.send("position startpos"));
    }
    void threads(int n) {
        ASSERT_TRUE(engine.send("setoption name Threads value " + std::to_string(n)));
        ASSERT_TRUE(engine.ready().empty());
    }
    // One legal "bestmove", and no second one after it.
    void expectOneLegalMove(const std::vector<std::string>& lines) {
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        EXPECT_TRUE(isFirstMove(lastWithPrefix(lines, "bestmove"))) << lastWithPrefix(lines, "b");
        EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
    }
    // A search that runs until released, answering "isready" meanwhile.
    void searchUntil(const std::string& go, const std::string& release) {
        SCOPED_TRACE(go + " / " + release);
        ASSERT_TRUE(engine.send(go));
        EXPECT_EQ(countPrefix(engine.within(300), "bestmove"), 0);
        EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
        std::vector<std::string> lines;
        ASSERT_TRUE(engine.send(release) && engine.until("bestmove", &lines));
        expectOneLegalMove(lines);
    }
};

TEST_P(TwoThreads, EveryLimitAndEveryReleaseEndsWithOneLegalBestMove) {
    for (const char* go : {"go depth 7", "go nodes 30000", "go movetime 200",
                           "go wtime 3000 btime 3000 winc 10 binc 10", "go mate 1 depth 3"}) {
        SCOPED_TRACE(go);
        expectOneLegalMove(engine.go(go));
    }
    searchUntil("go infinite", "stop");
    searchUntil("go ponder wtime 60000 btime 60000", "ponderhit");
    searchUntil("go ponder wtime 60000 btime 60000", "stop");
    searchUntil("go mate 3", "stop");
}

TEST_P(TwoThreads, ResultsKeepToTheDepthLimitAndNodesCountEveryThread) {
    // A helper may search beyond the main thread, but only iterations up to the limit count.
    for (const char* depth : {"3", "6"})
        EXPECT_EQ(fieldOf(lastWithPrefix(engine.go(std::string("go depth ") + depth), "info depth"),
                          "depth"),
                  depth);
    // Counting the main thread's nodes alone, the limit would end the search only once the
    // helper's nodes came on top of it; all counted, it ends close to the limit.
    const std::vector<std::string> lines = engine.go("go nodes 400000");
    const uint64_t nodes = std::stoull(fieldOf(lastWithPrefix(lines, "info depth"), "nodes"));
    EXPECT_GT(nodes, 400000u);
    EXPECT_LT(nodes, 600000u);
}

TEST_P(TwoThreads, ThePoolGrowsAndShrinksBetweenSearchesAndWaitsForARunningOne) {
    for (int n : {4, 1, 3, 2}) {
        threads(n);
        expectOneLegalMove(engine.go("go depth 5"));
    }
    searchUntil("go infinite\nsetoption name Threads value 1\nsetoption name Threads value 3",
                "stop");
    expectOneLegalMove(engine.go("go depth 5"));
}

TEST(ThreadsSession, QuitOrEndOfInputWithHelpersRunningExitsZero) {
    // "quit" ends a search without a "bestmove"; the end of input acts as "stop".
    for (const auto& [input, quits] : {std::pair{"go infinite\nquit\n", true},
                                       {"go infinite\n", false},
                                       {"go ponder wtime 1000 btime 1000\n", false},
                                       {"go depth 40\nisready\n", false}}) {
        SCOPED_TRACE(input);
        Pipe engine;
        ASSERT_TRUE(engine.write("setoption name Threads value 2\nposition startpos\n"));
        ASSERT_TRUE(engine.write(input));
        std::string output;
        for (const std::string& l : engine.within(300)) output += l + "\n";  // helpers at work
        EXPECT_EQ(engine.finish(output, !quits), "exit code 0");
        EXPECT_EQ(output.find("bestmove") != std::string::npos, !quits) << output;
    }
}

RUN_FOR_EITHER_ENGINE(TwoThreads);

}  // namespace
