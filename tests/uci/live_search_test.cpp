// Commands that arrive while a search runs or while its result is held back, through a pipe.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

using Ms = std::chrono::milliseconds;
using std::chrono::duration_cast;

class LiveSearch : public EngineTest {
   protected:
    // Nothing but the given lines may follow until the engine answers "isready".
    void expectNoBestMoveWithin(int ms) {
        for (const std::string& l : engine.linesWithin(ms))
            EXPECT_FALSE(startsWith(l, "bestmove")) << l;
    }
    std::optional<std::string> bestMove(std::vector<std::string>* seen = nullptr) {
        return engine.readUntilPrefix("bestmove", ReplyMs, seen);
    }
};

// White mates with Rb8 at once: the search ends by itself after its first iteration.
const char* const MateInOne = "position fen 7k/R7/8/8/8/8/8/1R4K1 w - - 0 1";

TEST_F(LiveSearch, InfiniteRunsUntilStopAndAnswersOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(400);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, InfiniteHoldsAMateFoundEarlyUntilStop) {
    ASSERT_TRUE(engine.send(MateInOne));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(400);
    // The held result still answers "isready".
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
    ASSERT_TRUE(engine.send("stop"));
    std::optional<std::string> best = bestMove();
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(best->substr(0, 13), "bestmove b1b8");
}

TEST_F(LiveSearch, InfiniteHoldsPositionsWithoutMovesOrRefusedUntilStop) {
    for (const char* position : {"position fen R6k/R7/8/8/8/8/8/6K1 b - - 0 1",  // mated
                                 "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",  // stalemate
                                 "position fen 8/8/8/8/8/8/8/K7 w - - 0 1"}) {   // refused
        SCOPED_TRACE(position);
        ASSERT_TRUE(engine.send(position));
        ASSERT_TRUE(engine.send("go infinite"));
        expectNoBestMoveWithin(300);
        syncReady(engine);
        ASSERT_TRUE(engine.send("stop"));
        EXPECT_EQ(bestMove(), "bestmove a1a1 ");
        EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
    }
}

TEST_F(LiveSearch, PonderIsHeldUntilPonderhitThenAnsweredAtOnce) {
    ASSERT_TRUE(engine.send("position startpos moves e2e4"));
    // A tiny clock: while pondering no time limit applies.
    ASSERT_TRUE(engine.send("go ponder wtime 100 btime 100"));
    expectNoBestMoveWithin(500);
    auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(engine.send("ponderhit"));
    EXPECT_TRUE(bestMove().has_value());
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - sent).count(), 1000);
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, PonderIsReleasedByStop) {
    ASSERT_TRUE(engine.send("position startpos moves e2e4"));
    ASSERT_TRUE(engine.send("go ponder wtime 60000 btime 60000"));
    expectNoBestMoveWithin(300);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, PonderWaitAfterAnEarlyMateAnswersIsreadyAndDropsOtherLines) {
    ASSERT_TRUE(engine.send(MateInOne));
    ASSERT_TRUE(engine.send("go ponder wtime 60000 btime 60000"));
    expectNoBestMoveWithin(400);
    // The search has ended; its result waits. "isready" is answered, "uci" is dropped.
    ASSERT_TRUE(engine.send("uci"));
    std::vector<std::string> before = syncReady(engine);
    EXPECT_EQ(countPrefix(before, "id "), 0);
    EXPECT_EQ(countPrefix(before, "bestmove"), 0);
    ASSERT_TRUE(engine.send("ponderhit"));
    std::optional<std::string> best = bestMove();
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(best->substr(0, 13), "bestmove b1b8");
}

TEST_F(LiveSearch, RefusedPositionUnderPonderIsHeldUntilPonderhit) {
    ASSERT_TRUE(engine.send("position fen 8/8/8/8/8/8/8/K7 w - - 0 1"));
    ASSERT_TRUE(engine.send("go ponder wtime 1000 btime 1000"));
    expectNoBestMoveWithin(300);
    syncReady(engine);
    ASSERT_TRUE(engine.send("ponderhit"));
    EXPECT_EQ(bestMove(), "bestmove a1a1 ");
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
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, IsreadyDuringASearchIsAnsweredAtOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    auto sent = std::chrono::steady_clock::now();
    std::vector<std::string> before = syncReady(engine);
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - sent).count(), 1000);
    EXPECT_EQ(countPrefix(before, "bestmove"), 0);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
}

TEST_F(LiveSearch, TwoCommandsInOneWriteDuringASearchAreBothSeen) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    ASSERT_TRUE(engine.write("isready\nstop\n"));
    std::vector<std::string> lines;
    EXPECT_TRUE(bestMove(&lines).has_value());
    EXPECT_EQ(countPrefix(lines, "readyok"), 1);
}

TEST_F(LiveSearch, QuitDuringASearchExitsWithoutBestMove) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    ASSERT_TRUE(engine.send("quit"));
    std::string rest;
    EXPECT_TRUE(engine.readToEnd(rest, ReplyMs));
    EXPECT_EQ(rest.find("bestmove"), std::string::npos);
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST_F(LiveSearch, QuitDuringThePonderWaitExits) {
    ASSERT_TRUE(engine.send(MateInOne));
    ASSERT_TRUE(engine.send("go ponder"));
    expectNoBestMoveWithin(300);
    ASSERT_TRUE(engine.send("quit"));
    std::string rest;
    EXPECT_TRUE(engine.readToEnd(rest, ReplyMs));
    EXPECT_EQ(rest.find("bestmove"), std::string::npos);
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST_F(LiveSearch, EndOfInputDuringInfiniteActsAsStopAndExitsZero) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    engine.closeInput();
    std::string rest;
    EXPECT_TRUE(engine.readToEnd(rest, ReplyMs));
    EXPECT_NE(rest.find("bestmove"), std::string::npos);
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST_F(LiveSearch, EndOfInputDuringThePonderWaitActsAsStop) {
    ASSERT_TRUE(engine.send(MateInOne));
    ASSERT_TRUE(engine.send("go ponder"));
    expectNoBestMoveWithin(300);
    engine.closeInput();
    std::string rest;
    EXPECT_TRUE(engine.readToEnd(rest, ReplyMs));
    EXPECT_NE(rest.find("bestmove b1b8"), std::string::npos) << rest;
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST(LiveSearchPipe, ADeepSearchFromAClosedPipeStillAnswers) {
    ChildProcess engine{TOLVO_ENGINE_PATH};
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.write("position startpos\ngo depth 8\n"));
    engine.closeInput();
    std::string out;
    EXPECT_TRUE(engine.readToEnd(out, ReplyMs));
    EXPECT_NE(out.find("bestmove"), std::string::npos);
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST_F(LiveSearch, GoDuringASearchDoesNotStartAnother) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    ASSERT_TRUE(engine.send("go depth 1"));
    expectNoBestMoveWithin(500);
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, HashChangedDuringASearchTakesEffectAfterIt) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    ASSERT_TRUE(engine.send("setoption name Hash value 1"));
    syncReady(engine);
    expectNoBestMoveWithin(200);  // still searching, on its old table
    ASSERT_TRUE(engine.send("stop"));
    EXPECT_TRUE(bestMove().has_value());
    std::vector<std::string> lines = goAndWait(engine, "go depth 5");
    EXPECT_EQ(lastWithPrefix(lines, "info depth"), lastWithPrefix(lines, "info depth 5 "));
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

TEST_F(LiveSearch, PositionChangedDuringASearchIsUsedByTheNextOne) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    expectNoBestMoveWithin(200);
    ASSERT_TRUE(engine.send(MateInOne));
    ASSERT_TRUE(engine.send("stop"));
    std::optional<std::string> first = bestMove();
    ASSERT_TRUE(first.has_value());
    EXPECT_NE(first->substr(0, 13), "bestmove b1b8");
    std::string second = lastWithPrefix(goAndWait(engine, "go depth 3"), "bestmove");
    EXPECT_EQ(second.substr(0, 13), "bestmove b1b8");
}

}  // namespace
