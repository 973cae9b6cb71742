// The command loop as a GUI sees it: exact replies, whole-line and prefix matching, exits.
#include <gtest/gtest.h>

#include "uci/engine_session.h"

namespace {

const std::string UciReply =
    "id name Vask Tolvo 1.0.1 Beta \n"
    "id author Quellin Strade, Support: Orvo Tamsk \n"
    "option name Hash type spin default 64 min 1 max 2048 \n"
    "option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
    "var Analyse var Ignore \n"
    "option name Traffic Depth type spin default 10 min 0 max 255 \n"
    "option name Threads type spin default 1 min 1 max 256 \n"
    "uciok\n";

using TranscriptSearch = EngineTest;

TEST(Transcript, WholeSessionsAreAnsweredByteForByteAndExitZero) {
    struct Case {
        std::string input, output;
        bool closeInput = true;
    };
    const Case cases[] = {
        {"uci\n", UciReply},
        {"uci\nuci\n", UciReply + UciReply},
        {"", ""},
        // The input stays open: only "quit" can end the process, and nothing after it is read.
        {"quit\nisready\n", "", false},
        // A trailing blank, a carriage return not right before the line feed, other letters:
        // none of these is "uci" or "isready". Only the final "isready" is answered.
        {"uci \n uci\nucix\nisready \nisready\r\r\nisreadyx\nreadyok\nISREADY\nisready\n",
         "readyok\n"},
        {"isready\r\nuci\r\n", "readyok\n" + UciReply},
        {"isready", "readyok\n"},  // a last line without its line feed
        {"hello\n\n   \nucinewgame\nstop\nponderhit\nsetoption\nisready\n", "readyok\n"},
        {"isready\nisready\nisready\n", "readyok\nreadyok\nreadyok\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        SessionEnd end = wholeSession(c.input, c.closeInput);
        EXPECT_EQ(end.output, c.output);
        EXPECT_EQ(end.exitCode, 0);
    }
}

TEST_F(TranscriptSearch, GoAndPositionArePrefixMatchesAndDebugFenEmptiesTheBoard) {
    ASSERT_TRUE(engine.send("position startpos"));
    for (const char* go : {"go", "go depth 1", "gofast depth 1"}) {
        SCOPED_TRACE(go);
        EXPECT_EQ(countPrefix(goAndWait(engine, go), "bestmove"), 1);
        EXPECT_TRUE(syncReady(engine).empty());
    }
    // After 1. e4 it is Black's move: a black piece moves from rank 7 or 8.
    ASSERT_TRUE(engine.send("positionXYZ startpos moves e2e4"));
    std::string best = lastWithPrefix(goAndWait(engine, "go depth 1"), "bestmove");
    ASSERT_GE(best.size(), 13u) << best;
    EXPECT_TRUE(best[10] == '7' || best[10] == '8') << best;
    // The empty board has no kings: refused without a search.
    ASSERT_TRUE(engine.send("debugFen"));
    EXPECT_EQ(lastWithPrefix(goAndWait(engine, "go depth 1"), "bestmove"), "bestmove a1a1 ");
}

}  // namespace
