// The command loop as a GUI sees it: exact replies, whole-line and prefix matching, exits.
#include "search/strength.h"
#include "support/engine_pipe.h"

namespace {

const std::string UciReply =
    "id name Vask Tolvo 1.0.1 Beta \n"
    "id author Quellin Strade, Support: Orvo Tamsk \n"
    "option name Hash type spin default 64 min 1 max 2048 \n"
    "option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
    "var Analyse var Ignore \n"
    "option name Traffic Depth type spin default 10 min 0 max 255 \n"
    "option name Threads type spin default 1 min 1 max 256 \n"
    "option name MultiPV type spin default 1 min 1 max 256 \n"
    "option name Ponder type check default false \n"
    "option name Clear Hash type button \n"
    "option name Move Overhead type spin default 0 min 0 max 5000 \n"
    "option name Use NNUE type check default true \n"
    "option name EvalFile type string default <empty> \n"
    "option name UCI_LimitStrength type check default false \n"
    "option name UCI_Elo type spin default " +
    std::to_string(StrengthEloMax) + " min " + std::to_string(StrengthEloMin) + " max " +
    std::to_string(StrengthEloMax) +
    " \n"
    "option name UCI_Chess960 type check default false \n"
    "option name SyzygyPath type string default <empty> \n"
    "option name SyzygyProbeDepth type spin default 1 min 1 max 100 \n"
    "option name Syzygy50MoveRule type check default true \n"
    "option name SyzygyProbeLimit type spin default 7 min 0 max 7 \n"
    "option name UCI_ShowWDL type check default false \n"
    "uciok\n";

TEST(Transcript, WholeSessionsAreAnsweredByteForByteAndExitZero) {
    const struct {
        std::string input, output;
        bool closeInput = true;
    } cases[] = {
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Pipe engine;
        EXPECT_TRUE(engine.write(c.input));
        std::string output;
        EXPECT_EQ(engine.finish(output, c.closeInput), "exit code 0");
        EXPECT_EQ(output, c.output);
    }
}

using TranscriptSearch = EitherEngineTest;

TEST_P(TranscriptSearch, GoAndPositionArePrefixMatchesAndDebugFenEmptiesTheBoard) {
    ASSERT_TRUE(engine.send("position startpos"));
    for (const char* go : {"go", "go depth 1", "gofast depth 1"}) {
        SCOPED_TRACE(go);
        EXPECT_EQ(countPrefix(engine.go(go), "bestmove"), 1);
        EXPECT_TRUE(engine.ready().empty());
    }
    // After 1. e4 it is Black's move: a black piece moves from rank 7 or 8.
    ASSERT_TRUE(engine.send("positionXYZ startpos moves e2e4"));
    const std::string best = lastWithPrefix(engine.go("go depth 1"), "bestmove");
    ASSERT_GE(best.size(), 13u) << best;
    EXPECT_TRUE(best[10] == '7' || best[10] == '8') << best;
    // The empty board has no kings: refused without a search.
    ASSERT_TRUE(engine.send("debugFen"));
    EXPECT_EQ(lastWithPrefix(engine.go("go depth 1"), "bestmove"), "bestmove a1a1 ");
}

RUN_FOR_EITHER_ENGINE(TranscriptSearch);

}  // namespace
