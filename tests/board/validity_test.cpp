#include <gtest/gtest.h>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/squares.h"

namespace {

Move word(const char* from, const char* to, int kind = KindNormal) {
    return makeMoveWord(sq(from), sq(to), kind);
}
bool valid(const char* fen, Move m) {
    static Position p;
    loadFen(p, fen);
    return isValidMove(p, m);
}

TEST(ValidMove, StartPositionExamples) {
    EXPECT_TRUE(valid(StartFen, word("e2", "e4", KindDoublePush)));
    EXPECT_FALSE(valid(StartFen, word("e2", "e4")));
    EXPECT_TRUE(valid(StartFen, word("e2", "e3")));
    EXPECT_TRUE(valid(StartFen, word("g1", "f3")));
    EXPECT_FALSE(valid(StartFen, word("f1", "c4")));
    EXPECT_FALSE(valid(StartFen, 0x1184));
    EXPECT_FALSE(valid(StartFen, word("e7", "e5", KindDoublePush)));
    EXPECT_FALSE(valid(StartFen, 0));
    EXPECT_FALSE(valid(StartFen, 0x0FFF));
    EXPECT_FALSE(valid(StartFen, word("e2", "e4", 14 << 12)));
}

TEST(ValidMove, PawnsReachTheLastRankOnlyByPromotion) {
    const char* fen = "1n2k3/P7/8/8/8/8/1p6/R3K3 w - - 0 1";
    EXPECT_FALSE(valid(fen, word("a7", "b8")));
    EXPECT_FALSE(valid(fen, word("a7", "a8")));
    EXPECT_TRUE(valid(fen, word("a7", "b8", WhiteQueen << 12)));
    EXPECT_TRUE(valid(fen, word("a7", "a8", WhiteKnight << 12)));
    EXPECT_FALSE(valid(fen, word("a7", "b8", BlackQueen << 12))) << "promotion of the wrong colour";
    EXPECT_TRUE(valid(fen, word("a7", "a8", WhiteLightBishop << 12)));
    EXPECT_FALSE(valid(fen, word("a7", "a8", WhiteDarkBishop << 12))) << "a8 is a light square";
    const char* black = "4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1";
    EXPECT_FALSE(valid(black, word("b2", "a1")));
    EXPECT_FALSE(valid(black, word("b2", "c1")));
    EXPECT_TRUE(valid(black, word("b2", "a1", BlackRook << 12)));
    EXPECT_TRUE(valid(black, word("b2", "c1", BlackQueen << 12)));
    EXPECT_TRUE(valid(black, word("b2", "b1", BlackKnight << 12)));
}

TEST(ValidMove, PawnCapturesMustChangeTheFileByOne) {
    // The word of a rook move a2-h2 has the pawn capture's distance of 7.
    const char* fen = "4k3/8/8/8/8/8/P6n/4K3 w - - 0 1";
    EXPECT_FALSE(valid(fen, word("a2", "h2")));
    EXPECT_TRUE(valid("4k3/8/8/8/8/8/R6n/4K3 w - - 0 1", word("a2", "h2")));
    EXPECT_TRUE(valid("4k3/8/8/8/8/1n6/P7/4K3 w - - 0 1", word("a2", "b3")));
}

TEST(ValidMove, EnPassantNeedsTheSquareAndAnAdjacentPawn) {
    EXPECT_TRUE(valid("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", word("e5", "d6", KindEnPassant)));
    EXPECT_FALSE(valid("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", word("e5", "d6", KindEnPassant)));
    EXPECT_FALSE(valid("4k3/8/8/p2pP3/8/8/8/4K3 w - d6 0 1", word("e5", "a6", KindEnPassant)));
    EXPECT_FALSE(valid("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", word("e5", "d6")));
}

TEST(ValidMove, DoublePushNeedsBothSquaresEmptyAndAStraightLine) {
    EXPECT_FALSE(valid("4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1", word("e2", "e4", KindDoublePush)));
    EXPECT_FALSE(valid("4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1", word("e2", "e4", KindDoublePush)));
    EXPECT_FALSE(valid("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", word("e2", "h5", KindDoublePush)));
    EXPECT_FALSE(valid("4k3/8/8/8/8/8/4N3/4K3 w - - 0 1", word("e2", "e4", KindDoublePush)));
}

TEST(ValidMove, CastlingNeedsRightsRookEmptyAndSafeSquaresAndTheKingsOwnMove) {
    const char* open = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    EXPECT_TRUE(valid(open, 0x1184));
    EXPECT_TRUE(valid(open, 0x1084));
    EXPECT_FALSE(valid(open, 0x1FBC)) << "Black's castling with White to move";
    EXPECT_TRUE(valid("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", 0x1FBC));
    EXPECT_TRUE(valid("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", 0x1EBC));
    EXPECT_FALSE(valid("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", 0x1184)) << "no right";
    EXPECT_FALSE(valid("r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", 0x1184)) << "no rook";
    EXPECT_FALSE(valid("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", word("a1", "g1", KindCastle)))
        << "not the king's move";
    EXPECT_FALSE(valid("r3kr2/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0x1184)) << "f1 attacked";
    EXPECT_FALSE(valid("r3k1r1/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0x1184)) << "g1 attacked";
    EXPECT_FALSE(valid("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", word("e1", "f1", KindCastle)));
    EXPECT_FALSE(valid("r2rk3/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0x1084)) << "d1 attacked";
    EXPECT_TRUE(valid("rr2k3/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0x1084)) << "b1 may be attacked";
    EXPECT_FALSE(valid("4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", 0x1084)) << "b1 occupied";
    EXPECT_TRUE(valid("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", 0x1184));
    EXPECT_FALSE(valid("4k3/8/8/8/1b6/8/8/R3K2R w KQ - 0 1", 0x1184)) << "the king in check";
}

TEST(ValidMove, PiecesMoveByTheirOwnRulesAndNeverTakeOwnPiecesOrKings) {
    const char* fen = "4k3/8/8/3q4/8/8/1B6/R3K3 w - - 0 1";
    EXPECT_TRUE(valid(fen, word("b2", "d4")));
    EXPECT_FALSE(valid(fen, word("b2", "b4")));
    EXPECT_FALSE(valid(fen, word("a1", "e1"))) << "own king";
    EXPECT_TRUE(valid(fen, word("a1", "a8")));
    EXPECT_TRUE(valid(fen, word("b2", "e5")));
    EXPECT_FALSE(valid("4k3/8/8/3q4/3N4/8/1B6/R3K3 w - - 0 1", word("b2", "e5"))) << "d4 blocks";
    EXPECT_FALSE(valid("4k3/8/8/8/8/8/8/R3K2q b - - 0 1", word("h1", "e1"))) << "enemy king";
    EXPECT_FALSE(valid(fen, word("d5", "d1"))) << "Black's piece with White to move";
    EXPECT_TRUE(valid(fen, word("e1", "f2")));
    EXPECT_FALSE(valid(fen, word("e1", "g1")));
}

}  // namespace
