// Commands that arrive while a search runs or while its result is held back, through a pipe.
#include "support/engine_pipe.h"

namespace {

// White mates with Rb8 at once: the search ends by itself after its first iteration.
const char* const MateInOne = "position fen 7k/R7/8/8/8/8/8/1R4K1 w - - 0 1";
const char* const Mated = "position fen R6k/R7/8/8/8/8/8/6K1 b - - 0 1";
const char* const Refused = "position fen 8/8/8/8/8/8/8/K7 w - - 0 1";

class LiveSearch : public EitherEngineTest {
   protected:
    // Starts a search that must not answer by itself within the time.
    void start(const std::string& position, const std::string& go, int quietMs = 200) {
        ASSERT_TRUE(engine.send(position));
        ASSERT_TRUE(engine.send(go));
        EXPECT_EQ(countPrefix(engine.within(quietMs), "bestmove"), 0) << "ended unreleased";
    }
    void expectNoSecondBestMove() { EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0); }
};

TEST_P(LiveSearch, InfiniteAndPonderResultsAreHeldUntilReleasedThenAnsweredOnceAtOnce) {
    // A tiny clock: while pondering no time limit applies. An early mate, a root without
    // moves and a refused position are held all the same.
    const struct {
        const char *position, *go, *release;
        const char* best;  // what the "bestmove" line starts with
    } cases[] = {
        {"position startpos", "go infinite", "stop", "bestmove "},
        {MateInOne, "go infinite", "stop", "bestmove b1b8 "},
        {Mated, "go infinite", "stop", "bestmove a1a1 "},
        {Refused, "go infinite", "stop", "bestmove a1a1 "},
        {"position startpos moves e2e4", "go ponder wtime 100 btime 100", "ponderhit", "bestmove "},
        {"position startpos moves e2e4", "go ponder wtime 60000 btime 60000", "stop", "bestmove "},
        {Refused, "go ponder wtime 1000 btime 1000", "ponderhit", "bestmove a1a1 "},
        // A mate search that pondered: held once it found its mate, ended by "ponderhit" before.
        {MateInOne, "go ponder mate 1", "ponderhit", "bestmove b1b8 "},
        {"position startpos", "go ponder mate 3", "ponderhit", "bestmove "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.position) + " / " + c.go);
        start(c.position, c.go, 400);
        expectNoSecondBestMove();  // the held result still answers "isready"
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_TRUE(engine.send(c.release));
        const std::string best = engine.until("bestmove").value_or("none");
        EXPECT_LT(msSince(sent), 1000);
        EXPECT_TRUE(startsWith(best, c.best)) << best;
        expectNoSecondBestMove();
    }
}

TEST_P(LiveSearch, PonderWaitAfterAnEarlyMateAnswersLinesAsTheRunningSearchDoes) {
    start(MateInOne, "go ponder wtime 60000 btime 60000", 400);
    // The search has ended; its result waits. "isready" and "uci" are answered, a "go" starts
    // nothing.
    ASSERT_TRUE(engine.send("uci"));
    ASSERT_TRUE(engine.send("go depth 1"));
    const std::vector<std::string> before = engine.ready();
    EXPECT_EQ(countPrefix(before, "id name "), 1);
    EXPECT_EQ(countPrefix(before, "uciok"), 1);
    EXPECT_EQ(countPrefix(before, "bestmove"), 0);
    ASSERT_TRUE(engine.send("ponderhit"));
    EXPECT_EQ(engine.until("bestmove").value_or("").substr(0, 13), "bestmove b1b8");
    expectNoSecondBestMove();
}

// The answer of a refused position is held like any other: a "go" meanwhile starts nothing,
// and the release gives the one "bestmove".
TEST_P(LiveSearch, AGoWhileARefusedPositionsAnswerIsHeldIsIgnored) {
    for (const char* go : {"go infinite", "go ponder wtime 1000 btime 1000"}) {
        SCOPED_TRACE(go);
        start(Refused, go, 300);
        ASSERT_TRUE(engine.send("go depth 1"));
        ASSERT_TRUE(engine.send("go movetime 10"));
        expectNoSecondBestMove();
        ASSERT_TRUE(engine.send("stop"));
        std::vector<std::string> lines;
        ASSERT_TRUE(engine.until("bestmove", &lines));
        EXPECT_EQ(lines.back(), "bestmove a1a1 ");
        expectNoSecondBestMove();
    }
}

// White mates at once (Ra8 or Qb8): the first iteration proves it, and an analysis or a ponder
// search then holds its answer. Options and positions sent meanwhile count as if the search
// were still running: kept, and applied when it ends.
TEST_P(LiveSearch, LinesSentWhileAnAnswerIsHeldTakeEffectAfterIt) {
    const char* const BackRankMate = "position fen 6k1/5ppp/8/8/8/8/1Q6/R5K1 w - - 0 1";
    const struct {
        const char *go, *release;
    } cases[] = {{"go infinite", "stop"}, {"go ponder wtime 60000 btime 60000", "ponderhit"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.go);
        ASSERT_TRUE(engine.send("setoption name MultiPV value 1"));
        start(BackRankMate, c.go, 400);
        ASSERT_TRUE(engine.send("setoption name MultiPV value 3"));
        ASSERT_TRUE(engine.send("setoption name Hash value 2"));
        ASSERT_TRUE(engine.send("position startpos moves e2e4"));
        EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
        ASSERT_TRUE(engine.send(c.release));
        const std::string best = engine.until("bestmove").value_or("none");
        // The held answer is the mate's, in the position the search had.
        EXPECT_TRUE(startsWith(best, "bestmove a1a8") || startsWith(best, "bestmove b2b8")) << best;
        expectNoSecondBestMove();
        // The next search runs on the new position, with three lines.
        const std::vector<std::string> lines = engine.go("go depth 3");
        EXPECT_EQ(countPrefix(lines, "info depth 3 seldepth"), 3) << lastWithPrefix(lines, "info");
        EXPECT_FALSE(lastWithPrefix(lines, "info depth 3 seldepth").empty());
        EXPECT_EQ(fieldOf(lastWithPrefix(lines, "info depth 3 "), "multipv"), "3");
        const std::vector<std::string> black = legalMoveTexts("position startpos moves e2e4");
        const std::string move = lastWithPrefix(lines, "bestmove").substr(9, 4);
        EXPECT_NE(std::find(black.begin(), black.end(), move), black.end()) << move;
    }
}

TEST_P(LiveSearch, StopInTheSameWriteAsGoAnswersEachSearchOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        // The "stop" is already buffered when the search starts polling.
        std::vector<std::string> lines;
        ASSERT_TRUE(engine.send("go infinite\nstop"));
        ASSERT_TRUE(engine.until("bestmove", &lines));
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
    }
    expectNoSecondBestMove();
}

TEST_P(LiveSearch, IsreadyDuringASearchIsAnsweredAtOnceEvenInOneWriteWithStop) {
    start("position startpos", "go infinite");
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
    EXPECT_LT(msSince(sent), 1000);
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.send("isready\nstop"));
    EXPECT_TRUE(engine.until("bestmove", &lines));
    EXPECT_EQ(countPrefix(lines, "readyok"), 1);
}

TEST(LiveSearchExit, QuitEndsWithoutAndEndOfInputWithTheBestMove) {
    const struct {
        const char *position, *go;
        bool quit;         // else the input ends
        const char* best;  // in the rest of the output, or "" for no "bestmove" at all
    } cases[] = {{"position startpos", "go infinite", true, ""},
                 {MateInOne, "go ponder", true, ""},
                 {"position startpos", "go infinite", false, "bestmove"},
                 {MateInOne, "go ponder", false, "bestmove b1b8"},
                 {"position startpos", "go depth 8", false, "bestmove"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.go) + (c.quit ? " / quit" : " / end of input"));
        Pipe engine;
        ASSERT_TRUE(engine.ready().empty());
        ASSERT_TRUE(engine.send(c.position));
        ASSERT_TRUE(engine.send(c.go));
        if (c.quit) {
            EXPECT_EQ(countPrefix(engine.within(300), "bestmove"), 0);
            ASSERT_TRUE(engine.send("quit"));
        }
        std::string output;
        EXPECT_EQ(engine.finish(output, !c.quit), "exit code 0");
        const std::string best = *c.best ? c.best : "bestmove";
        EXPECT_EQ(output.find(best) != std::string::npos, *c.best != 0) << output;
    }
}

// A "go" starts no second search; a new table and a new position wait for the search's end.
TEST_P(LiveSearch, CommandsDuringASearchTakeEffectAfterIt) {
    start("position startpos", "go infinite");
    ASSERT_TRUE(engine.send("go depth 1"));
    ASSERT_TRUE(engine.send("setoption name Hash value 1"));
    ASSERT_TRUE(engine.send(MateInOne));
    EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
    EXPECT_EQ(countPrefix(engine.within(300), "bestmove"), 0);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_NE(engine.until("bestmove").value_or("bestmove b1b8").substr(0, 13), "bestmove b1b8");
    expectNoSecondBestMove();
    EXPECT_EQ(lastWithPrefix(engine.go("go depth 3"), "bestmove").substr(0, 13), "bestmove b1b8");
    // The new table serves a full search.
    ASSERT_TRUE(engine.send("position startpos"));
    const std::vector<std::string> lines = engine.go("go depth 5");
    EXPECT_EQ(lastWithPrefix(lines, "info depth"), lastWithPrefix(lines, "info depth 5 "));
}

RUN_FOR_EITHER_ENGINE(LiveSearch);

}  // namespace
