// The "position" command in-process: set-up, the moves after "moves", the pass and the
// bounded key history.
#include "uci/position_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "board/fen.h"
#include "board/movetext.h"

namespace {

Position& run(const std::string& line) {
    static Position p;
    positionCommand(p, line.c_str());
    return p;
}

TEST(PositionCommand, StartposWinsOverFenAndNeitherGivesTheEmptyBoard) {
    const Position start = run("position startpos");
    for (const std::string& line :
         {std::string("position fen ") + StartFen,
          std::string("position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 startpos")})
        EXPECT_EQ(0, std::memcmp(&start, &run(line), sizeof start)) << line;
    for (const char* line : {"position", "position fen", "position fen  8/8 w", "positionfen"}) {
        const Position& p = run(line);
        EXPECT_EQ(occupancy(p), 0u) << line;
        EXPECT_EQ(p.keyCount, 1) << line;
        EXPECT_FALSE(isSearchable(p)) << line;
    }
}

TEST(PositionCommand, MovesAppendTheirKeysInOrderAndPromotionsTakeTheirLetter) {
    const Position& p = run("position startpos moves e2e4 e7e5");
    ASSERT_EQ(p.keyCount, 3);
    static Position expect;
    loadFen(expect, StartFen);
    UndoInfo u;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.keyHistory[i], expect.key) << i;
        if (i < 2) makeMove(expect, u, textToMove(expect, i ? "e7e5" : "e2e4"));
    }
    EXPECT_EQ(p.key, expect.key);
    const Position& q = run("position fen 7k/P7/8/8/8/8/8/K7 w - - 0 1 moves a7a8n h8g7");
    EXPECT_EQ(q.board[56], WhiteKnight);
    EXPECT_EQ(q.board[54], BlackKing);
}

// A text that matches no move, or that no legal position may follow, ends the list there.
TEST(PositionCommand, MoveListStopsWhereTheTextMatchesNoMove) {
    const std::pair<const char*, int> cases[] = {
        {" zz e2e4", 1},
        {" e2e4  e7e5", 2},
        {" e2e4 ", 2},
        {"", 1},
        {" ", 1},
        {" e2e4 e7", 2},
        {" e1e2", 1},  // not a move of the position
        // 1. f3 e5 2. Kf2 Qh4+ and White passes in check: the queen must not take the king.
        {" f2f3 e7e5 e1f2 d8h4 0000 h4f2", 6}};
    for (const auto& [moves, keys] : cases)
        EXPECT_EQ(run(std::string("position startpos moves") + moves).keyCount, keys) << moves;
    EXPECT_EQ(run("position fen k7/8/8/8/8/8/8/K6P w - - 0 1 moves a1b1 a8b8").keyCount, 1);
}

TEST(PositionCommand, PassFlipsTheSideClearsEnPassantAndCountsTowardsFifty) {
    const Position& p = run("position startpos moves e2e4 0000");
    static Position expect;
    loadFen(expect, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 1 2");
    EXPECT_EQ(p.keyCount, 3);
    EXPECT_EQ(std::make_tuple(p.sideToMove, p.epSquare, p.rule50, p.castleRights, p.key),
              std::make_tuple(expect.sideToMove, 64u, 1, 15, expect.key));
    EXPECT_EQ(p.keyHistory[2], p.key);
    EXPECT_EQ(run("position fen 4k3/8/8/8/8/8/8/4K2R w K - 40 1 moves 0000 0000").rule50, 42);
}

TEST(PositionCommand, LongGamesKeepTheMostRecentKeysWithRoomForASearch) {
    std::string line = "position startpos moves", passes = "position startpos moves";
    for (int i = 0; i < 400; ++i) line += " g1f3 g8f6 f3g1 f6g8";  // 1,600 half-moves
    for (int i = 0; i < 1500; ++i) passes += " 0000";
    const Position p = run(line);  // a copy: the next runs reuse the record
    EXPECT_LE(p.keyCount, KeyHistorySize - KeyHistoryReserve);
    EXPECT_GE(p.keyCount, 256);
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], p.key);
    EXPECT_EQ(p.key, run("position startpos").key);
    // The kept keys are the game's last ones: the shuffle repeats every four half-moves.
    for (int i = 4; i < p.keyCount; ++i) EXPECT_EQ(p.keyHistory[i], p.keyHistory[i - 4]) << i;
    EXPECT_NE(p.keyHistory[p.keyCount - 2], p.key);
    const Position& q = run(passes);
    EXPECT_LE(q.keyCount, KeyHistorySize - KeyHistoryReserve);
    EXPECT_EQ(q.keyHistory[q.keyCount - 1], q.key);
    EXPECT_EQ(q.rule50, 255);
}

}  // namespace
