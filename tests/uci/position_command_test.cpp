// The "position" command in-process: set-up, the moves after "moves", the pass and the
// bounded key history.
#include "uci/position_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/movetext.h"

namespace {

Position& run(const std::string& line) {
    static Position p;
    positionCommand(p, line.c_str());
    return p;
}

bool sameRecord(const Position& a, const Position& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

Position fromFen(const char* fen) {
    Position p;
    loadFen(p, fen);
    return p;
}

TEST(PositionCommand, StartposAndItsFenBuildTheSameRecord) {
    Position a = run("position startpos");
    Position b = run(std::string("position fen ") + StartFen);
    EXPECT_TRUE(sameRecord(a, b));
    EXPECT_EQ(a.castleRights, 15);
    EXPECT_EQ(a.epSquare, 64u);
    EXPECT_EQ(a.keyCount, 1);
    EXPECT_EQ(a.keyHistory[0], a.key);
    EXPECT_TRUE(isSearchable(a));
}

TEST(PositionCommand, StartposWinsOverFen) {
    Position a = run("position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 startpos");
    EXPECT_TRUE(sameRecord(a, run("position startpos")));
}

TEST(PositionCommand, WithoutStartposOrFenTheBoardIsEmpty) {
    for (const char* line :
         {"position", "position fe", "position fen", "position fen  8/8 w", "positionfen", ""}) {
        SCOPED_TRACE(line);
        Position& p = run(line);
        for (int s = 0; s < 64; ++s) EXPECT_EQ(p.board[s], 0);
        EXPECT_EQ(p.keyCount, 1);
        EXPECT_LE(p.epSquare, 64u);
        EXPECT_FALSE(isSearchable(p));
    }
}

TEST(PositionCommand, MovesAppendTheirKeysInOrder) {
    Position& p = run("position startpos moves e2e4 e7e5");
    ASSERT_EQ(p.keyCount, 3);
    Position expect = fromFen(StartFen);
    EXPECT_EQ(p.keyHistory[0], expect.key);
    UndoInfo u;
    makeMove(expect, u, textToMove(expect, "e2e4"));
    EXPECT_EQ(p.keyHistory[1], expect.key);
    makeMove(expect, u, textToMove(expect, "e7e5"));
    EXPECT_EQ(p.keyHistory[2], expect.key);
    EXPECT_EQ(p.key, expect.key);
    EXPECT_EQ(p.board[28], WhitePawn);
    EXPECT_EQ(p.board[36], BlackPawn);
}

TEST(PositionCommand, PromotionLetterIsReadAfterFourCharacters) {
    Position& p = run("position fen 7k/P7/8/8/8/8/8/K7 w - - 0 1 moves a7a8n h8g7");
    EXPECT_EQ(p.board[56], WhiteKnight);
    EXPECT_EQ(p.board[54], BlackKing);
    EXPECT_EQ(p.keyCount, 3);
}

TEST(PositionCommand, MoveListStopsAtTextThatMatchesNoMove) {
    EXPECT_EQ(run("position startpos moves e2e4 e2e4 e7e5").keyCount, 2);
    EXPECT_EQ(run("position startpos moves zz e2e4").keyCount, 1);
    EXPECT_EQ(run("position startpos moves e2e4  e7e5").keyCount, 2);
    EXPECT_EQ(run("position startpos moves e2e4 ").keyCount, 2);
    EXPECT_EQ(run("position startpos moves").keyCount, 1);
    EXPECT_EQ(run("position startpos moves ").keyCount, 1);
    EXPECT_EQ(run("position startpos moves e2").keyCount, 1);
    EXPECT_EQ(run("position startpos moves e2e4 e7").keyCount, 2);
    EXPECT_TRUE(isSearchable(run("position startpos moves e2e4 e7e5 e1e3")));
}

TEST(PositionCommand, PassFlipsTheSideClearsEnPassantAndCountsTowardsFifty) {
    Position& p = run("position startpos moves e2e4 0000");
    EXPECT_EQ(p.keyCount, 3);
    Position expect = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 1 2");
    EXPECT_EQ(p.sideToMove, uint32_t(White));
    EXPECT_EQ(p.epSquare, 64u);
    EXPECT_EQ(p.rule50, 1);
    EXPECT_EQ(p.castleRights, 15);
    EXPECT_EQ(p.key, expect.key);
    EXPECT_EQ(p.keyHistory[2], p.key);
    // The fifty-move counter keeps counting from the FEN's value.
    EXPECT_EQ(run("position fen 4k3/8/8/8/8/8/8/4K2R w K - 40 1 moves 0000 0000").rule50, 42);
}

TEST(PositionCommand, UnsearchablePositionPlaysNoMoves) {
    Position& p = run("position fen k7/8/8/8/8/8/8/K6P w - - 0 1 moves a1b1 a8b8");
    EXPECT_EQ(p.keyCount, 1);
    EXPECT_EQ(p.board[0], WhiteKing);
}

TEST(PositionCommand, AMoveThatLeavesTheKingCapturableEndsTheList) {
    // 1. f3 e5 2. Kf2 Qh4+ and White passes while in check: the queen must not take the king.
    Position& p = run("position startpos moves f2f3 e7e5 e1f2 d8h4 0000 h4f2");
    EXPECT_EQ(p.keyCount, 6);
    EXPECT_EQ(p.board[13], WhiteKing);
    EXPECT_FALSE(isSearchable(p));
}

TEST(PositionCommand, LongGamesKeepTheMostRecentKeysWithRoomForASearch) {
    std::string line = "position startpos moves";
    for (int i = 0; i < 400; ++i) line += " g1f3 g8f6 f3g1 f6g8";  // 1,600 half-moves
    // A copy: the start position below is built in the same record.
    const Position p = run(line);
    EXPECT_LE(p.keyCount, KeyHistorySize - KeyHistoryReserve);
    EXPECT_GE(p.keyCount, 256);
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], p.key);
    EXPECT_EQ(p.key, run("position startpos").key);
    // The kept keys are the game's last ones: the shuffle repeats every four half-moves.
    for (int i = 4; i < p.keyCount; ++i) EXPECT_EQ(p.keyHistory[i], p.keyHistory[i - 4]) << i;
    EXPECT_NE(p.keyHistory[p.keyCount - 2], p.key);
}

TEST(PositionCommand, LongRunsOfPassesStayBounded) {
    std::string line = "position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves";
    for (int i = 0; i < 1500; ++i) line += " 0000";
    Position& p = run(line);
    EXPECT_LE(p.keyCount, KeyHistorySize - KeyHistoryReserve);
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], p.key);
    EXPECT_EQ(p.rule50, 255);
    EXPECT_EQ(p.sideToMove, uint32_t(White));
}

}  // namespace
