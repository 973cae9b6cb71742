// Commands that arrive while a search runs or while its result is held back, through a pipe.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

using Ms = std::chrono::milliseconds;
using std::chrono::duration_cast;

// White mates with Rb8 at once: the search ends by itself after its first iteration.
const char* const MateInOne = "position fen 7k/R7/8/8/8/8/8/1R4K1 w - - 0 1";
const char* const Mated = "position fen R6k/R7/8/8/8/8/8/6K1 b - - 0 1";
const char* const Stalemate = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
const char* const Refused = "position fen 8/8/8/8/8/8/8/K7 w - - 0 1";

int64_t msSince(std::chrono::steady_clock::time_point start) {
    return duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
}

class LiveSearch : public EngineTest {
   protected:
    // Starts a search that must not answer by itself within the time.
    void start(const std::string& position, const std::string& go, int quietMs = 200) {
        ASSERT_TRUE(engine.send(position));
        ASSERT_TRUE(engine.send(go));
        expectNoBestMoveWithin(engine, quietMs);
    }
    std::optional<std::string> bestMove(std::vector<std::string>* seen = nullptr) {
        return engine.readUntilPrefix("bestmove", ReplyMs, seen);
    }
    void expectNoSecondBestMove() { EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0); }
};

TEST_F(LiveSearch, InfiniteAndPonderResultsAreHeldUntilReleasedThenAnsweredOnceAtOnce) {
    struct Case {
        const char* position;
        const char* go;
        const char* release;
        const char* best;  // what the "bestmove" line starts with
    };
    // A tiny clock: while pondering no time limit applies. An early mate, a root without
    // moves and a refused position are held all the same.
    for (const Case& c : {
             Case{"position startpos", "go infinite", "stop", "bestmove "},
             Case{MateInOne, "go infinite", "stop", "bestmove b1b8 "},
             Case{Mated, "go infinite", "stop", "bestmove a1a1 "},
             Case{Stalemate, "go infinite", "stop", "bestmove a1a1 "},
             Case{Refused, "go infinite", "stop", "bestmove a1a1 "},
             Case{"position startpos moves e2e4", "go ponder wtime 100 btime 100", "ponderhit",
                  "bestmove "},
             Case{"position startpos moves e2e4", "go ponder wtime 60000 btime 60000", "stop",
                  "bestmove "},
             Case{Refused, "go ponder wtime 1000 btime 1000", "ponderhit", "bestmove a1a1 "},
             // A mate search that pondered: held when it found its mate, ended by "ponderhit"
             // when it had not.
             Case{MateInOne, "go ponder mate 1", "ponderhit", "bestmove b1b8 "},
             Case{"position startpos", "go ponder mate 3", "ponderhit", "bestmove "},
         }) {
        SCOPED_TRACE(std::string(c.position) + " / " + c.go);
        start(c.position, c.go, 400);
        // The held result still answers "isready".
        expectNoSecondBestMove();
        auto sent = std::chrono::steady_clock::now();
        ASSERT_TRUE(engine.send(c.release));
        std::optional<std::string> best = bestMove();
        EXPECT_LT(msSince(sent), 1000);
        ASSERT_TRUE(best.has_value());
        EXPECT_TRUE(startsWith(*best, c.best)) << *best;
        expectNoSecondBestMove();
    }
}

TEST_F(LiveSearch, PonderWaitAfterAnEarlyMateAnswersIsreadyAndDropsOtherLines) {
    start(MateInOne, "go ponder wtime 60000 btime 60000", 400);
    // The search has ended; its result waits. "isready" is answered, "uci" is dropped.
    ASSERT_TRUE(engine.send("uci"));
    std::vector<std::string> before = syncReady(engine);
    EXPECT_EQ(countPrefix(before, "id "), 0);
    EXPECT_EQ(countPrefix(before, "bestmove"), 0);
    ASSERT_TRUE(engine.send("ponderhit"));
    EXPECT_EQ(bestMove().value_or("").substr(0, 13), "bestmove b1b8");
}

TEST_F(LiveSearch, StopInTheSameWriteAsGoAnswersEachSearchOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        // The "stop" is already buffered when the search starts polling.
        ASSERT_TRUE(engine.write("go infinite\nstop\n"));
        std::vector<std::string> lines;
        ASSERT_TRUE(bestMove(&lines).has_value());
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
    }
    expectNoSecondBestMove();
}

TEST_F(LiveSearch, IsreadyDuringASearchIsAnsweredAtOnceEvenInOneWriteWithStop) {
    start("position startpos", "go infinite");
    auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
    EXPECT_LT(msSince(sent), 1000);
    ASSERT_TRUE(engine.write("isready\nstop\n"));
    std::vector<std::string> lines;
    EXPECT_TRUE(bestMove(&lines).has_value());
    EXPECT_EQ(countPrefix(lines, "readyok"), 1);
}

TEST(LiveSearchExit, QuitEndsWithoutAndEndOfInputWithTheBestMove) {
    struct Case {
        const char* position;
        const char* go;
        bool quit;         // else the input ends
        const char* best;  // in the rest of the output, or "" for no "bestmove" at all
    };
    for (const Case& c : {Case{"position startpos", "go infinite", true, ""},
                          Case{MateInOne, "go ponder", true, ""},
                          Case{"position startpos", "go infinite", false, "bestmove"},
                          Case{MateInOne, "go ponder", false, "bestmove b1b8"}}) {
        SCOPED_TRACE(std::string(c.go) + (c.quit ? " / quit" : " / end of input"));
        ChildProcess engine{TOLVO_ENGINE_PATH};
        ASSERT_TRUE(syncReady(engine).empty());
        ASSERT_TRUE(engine.send(c.position));
        ASSERT_TRUE(engine.send(c.go));
        expectNoBestMoveWithin(engine, 300);
        ASSERT_TRUE(!c.quit || engine.send("quit"));
        SessionEnd end = finish(engine, !c.quit);
        const std::string best = *c.best ? c.best : "bestmove";
        EXPECT_EQ(end.output.find(best) != std::string::npos, *c.best != 0) << end.output;
        EXPECT_EQ(end.exitCode, 0);
    }
    SessionEnd deep = wholeSession("position startpos\ngo depth 8\n");
    EXPECT_NE(deep.output.find("bestmove"), std::string::npos)
        << "a deep search from a closed pipe";
    EXPECT_EQ(deep.exitCode, 0);
}

TEST_F(LiveSearch, GoDuringASearchDoesNotStartAnother) {
    start("position startpos", "go infinite");
    ASSERT_TRUE(engine.send("go depth 1"));
    expectNoBestMoveWithin(engine, 500);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
    expectNoSecondBestMove();
}

TEST_F(LiveSearch, HashAndPositionChangedDuringASearchTakeEffectAfterIt) {
    start("position startpos", "go infinite");
    ASSERT_TRUE(engine.send("setoption name Hash value 1"));
    ASSERT_TRUE(engine.send(MateInOne));
    syncReady(engine);
    expectNoBestMoveWithin(engine, 200);  // still searching, on its old table
    ASSERT_TRUE(engine.send("stop"));
    std::optional<std::string> first = bestMove();
    ASSERT_TRUE(first.has_value());
    EXPECT_NE(first->substr(0, 13), "bestmove b1b8");
    EXPECT_EQ(lastWithPrefix(goAndWait(engine, "go depth 3"), "bestmove").substr(0, 13),
              "bestmove b1b8");
    // The new table serves a full search.
    ASSERT_TRUE(engine.send("position startpos"));
    std::vector<std::string> lines = goAndWait(engine, "go depth 5");
    EXPECT_EQ(lastWithPrefix(lines, "info depth"), lastWithPrefix(lines, "info depth 5 "));
    expectNoSecondBestMove();
}

}  // namespace
