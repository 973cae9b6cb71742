// The command loop as a GUI sees it: exact replies, whole-line and prefix matching, exits.
#include <gtest/gtest.h>

#include "uci/engine_session.h"

namespace {

class TranscriptSearch : public EngineTest {};

const char* const UciReply =
    "id name Vask Tolvo 1.0.1 Beta \n"
    "id author Quellin Strade, Support: Orvo Tamsk \n"
    "option name Hash type spin default 64 min 1 max 2048 \n"
    "option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
    "var Analyse var Ignore \n"
    "option name Traffic Depth type spin default 10 min 0 max 255 \n"
    "uciok\n";

// Runs a whole session on one write and closes the input; returns all output and the code.
std::pair<std::string, std::optional<int>> session(const std::string& input) {
    ChildProcess engine{TOLVO_ENGINE_PATH};
    EXPECT_TRUE(engine.started());
    EXPECT_TRUE(engine.write(input));
    engine.closeInput();
    std::string out;
    EXPECT_TRUE(engine.readToEnd(out, ReplyMs)) << "output not closed";
    return {out, engine.waitExit(ReplyMs)};
}

TEST(Transcript, UciIsAnsweredByteForByteWithBlanksBeforeNewlines) {
    auto [out, code] = session("uci\n");
    EXPECT_EQ(out, UciReply);
    EXPECT_EQ(code, 0);
}

TEST(Transcript, TwoUciCommandsGetTheSameReplyTwice) {
    auto [out, code] = session("uci\nuci\n");
    EXPECT_EQ(out, std::string(UciReply) + UciReply);
    EXPECT_EQ(code, 0);
}

TEST(Transcript, EmptyInputExitsZeroWithoutOutput) {
    auto [out, code] = session("");
    EXPECT_EQ(out, "");
    EXPECT_EQ(code, 0);
}

TEST(Transcript, QuitExitsZeroAndNothingAfterItIsRead) {
    ChildProcess engine{TOLVO_ENGINE_PATH};
    ASSERT_TRUE(engine.started());
    // The input stays open: only "quit" can end the process here.
    ASSERT_TRUE(engine.write("quit\nisready\n"));
    std::string out;
    EXPECT_TRUE(engine.readToEnd(out, ReplyMs));
    EXPECT_EQ(out, "");
    EXPECT_EQ(engine.waitExit(ReplyMs), 0);
}

TEST(Transcript, WholeLineCommandsWithExtraCharactersGetNoReply) {
    // A trailing blank, a carriage return not right before the line feed, other letters:
    // none of these is "uci" or "isready". Only the final "isready" is answered.
    auto [out, code] =
        session("uci \n uci\nucix\nisready \nisready\r\r\nisreadyx\nreadyok\nISREADY\nisready\n");
    EXPECT_EQ(out, "readyok\n");
    EXPECT_EQ(code, 0);
}

TEST(Transcript, CarriageReturnBeforeLineFeedIsDropped) {
    auto [out, code] = session("isready\r\nuci\r\n");
    EXPECT_EQ(out, std::string("readyok\n") + UciReply);
    EXPECT_EQ(code, 0);
}

TEST(Transcript, LastLineWithoutLineFeedIsStillACommand) {
    auto [out, code] = session("isready");
    EXPECT_EQ(out, "readyok\n");
    EXPECT_EQ(code, 0);
}

TEST(Transcript, UnknownLinesAndUcinewgameAreSilent) {
    auto [out, code] = session("hello\n\n   \nucinewgame\nstop\nponderhit\nsetoption\nisready\n");
    EXPECT_EQ(out, "readyok\n");
    EXPECT_EQ(code, 0);
}

TEST(Transcript, EveryCommandOfOneWriteIsAnswered) {
    auto [out, code] = session("isready\nisready\nisready\n");
    EXPECT_EQ(out, "readyok\nreadyok\nreadyok\n");
    EXPECT_EQ(code, 0);
}

TEST_F(TranscriptSearch, GoIsAPrefixMatch) {
    ASSERT_TRUE(engine.send("position startpos"));
    for (const char* go : {"go", "go depth 1", "gofast depth 1"}) {
        SCOPED_TRACE(go);
        std::vector<std::string> lines = goAndWait(engine, go);
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        EXPECT_TRUE(syncReady(engine).empty());
    }
}

TEST_F(TranscriptSearch, PositionFollowedByOtherLettersIsStillAPositionCommand) {
    // After 1. e4 it is Black's move: a black piece moves from rank 7 or 8.
    ASSERT_TRUE(engine.send("positionXYZ startpos moves e2e4"));
    std::string best = lastWithPrefix(goAndWait(engine, "go depth 1"), "bestmove");
    ASSERT_GE(best.size(), 13u) << best;
    EXPECT_TRUE(best[10] == '7' || best[10] == '8') << best;
}

TEST_F(TranscriptSearch, DebugFenEmptiesThePosition) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("debugFen"));
    // The empty board has no kings: refused without a search.
    std::vector<std::string> lines = goAndWait(engine, "go depth 1");
    EXPECT_EQ(lastWithPrefix(lines, "bestmove"), "bestmove a1a1 ");
}

}  // namespace
