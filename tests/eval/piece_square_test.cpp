#include "eval/eval.h"
#include "eval_helpers.h"

namespace {

int mgAt(int code, int s) {
    return unpackMg(PieceSquareValue[code][s]);
}
int egAt(int code, int s) {
    return unpackEg(PieceSquareValue[code][s]);
}

TEST(PieceSquareTables, StartPositionSumsToZero) {
    auto p = positionFrom(StartFen);
    EXPECT_EQ(p->psqScore, 0);
}

TEST(PieceSquareTables, KnightG1F3AndPawnE2HaveTheirTabledValues) {
    const int g1 = 6, f3 = 21, e2 = 12, e7 = 52;
    EXPECT_EQ(mgAt(WhiteKnight, f3) - mgAt(WhiteKnight, g1), 49);
    EXPECT_EQ(egAt(WhiteKnight, f3) - egAt(WhiteKnight, g1), 18);
    EXPECT_EQ(PieceSquareValue[WhitePawn][e2], pack(2, -13));
    EXPECT_EQ(PieceSquareValue[BlackPawn][e7], pack(-2, 13));
}

TEST(PieceSquareTables, KeepTheDeliberateWingAsymmetries) {
    const int c8 = 58, f8 = 61, c3 = 18, f3 = 21, b4 = 25, g4 = 30;
    EXPECT_EQ(PieceSquareValue[WhiteQueen][f8], pack(1, 1));
    EXPECT_EQ(PieceSquareValue[WhiteQueen][c8], pack(-1, -1));
    EXPECT_EQ(egAt(WhiteKing, f3), 9);
    EXPECT_EQ(egAt(WhiteKing, c3), 6);
    EXPECT_EQ(egAt(WhiteKing, g4), -1);
    EXPECT_EQ(egAt(WhiteKing, b4), -3);
    // Corners and a few inner squares that a transposed or flipped table would get wrong.
    EXPECT_EQ(PieceSquareValue[WhiteKnight][56], pack(-120, -15));   // a8
    EXPECT_EQ(PieceSquareValue[WhiteKnight][0], pack(-58, -22));     // a1
    EXPECT_EQ(PieceSquareValue[WhiteKing][6], pack(48, -54));        // g1
    EXPECT_EQ(PieceSquareValue[WhiteRook][48], pack(-2, 1));         // a7
    EXPECT_EQ(PieceSquareValue[WhiteDarkBishop][0], pack(-7, 0));    // a1
    EXPECT_EQ(PieceSquareValue[WhiteLightBishop][1], pack(-8, -1));  // b1
    EXPECT_EQ(PieceSquareValue[BlackLightBishop][58], pack(11, 2));  // c8 = -(c1)
}

}  // namespace
