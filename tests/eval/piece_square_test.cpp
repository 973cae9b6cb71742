#include "eval/eval.h"
#include "eval_helpers.h"

namespace {

// A few tabled entries, among them the corners, the deliberate wing asymmetries of the queen
// and king tables, and Black's negated mirror: what a transposed, flipped or symmetrised table
// would get wrong. Black's entries follow for every square from the colour-mirror test.
TEST(PieceSquareTables, EntriesKeepTheirOrientationAndWingAsymmetries) {
    const struct {
        int code;
        const char* square;
        int mg, eg;
    } cases[] = {
        {WhitePawn, "e2", 2, -13},  {BlackPawn, "e7", -2, 13},      {WhiteQueen, "f8", 1, 1},
        {WhiteQueen, "c8", -1, -1}, {WhiteKnight, "a8", -120, -15}, {WhiteKing, "g1", 48, -54},
        {WhiteRook, "a7", -2, 1},   {WhiteDarkBishop, "a1", -7, 0}, {BlackLightBishop, "c8", 11, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PieceSquareValue[c.code][sq(c.square)], pack(c.mg, c.eg)) << c.code << c.square;
    // Differences the tables must keep: the knight's g1-f3, the king's end-game wings.
    const auto value = [](int code, const char* s) { return PieceSquareValue[code][sq(s)]; };
    EXPECT_EQ(value(WhiteKnight, "f3") - value(WhiteKnight, "g1"), pack(49, 18));
    EXPECT_EQ(unpackEg(value(WhiteKing, "f3")), 9);
    EXPECT_EQ(unpackEg(value(WhiteKing, "c3")), 6);
    EXPECT_EQ(unpackEg(value(WhiteKing, "g4")), -1);
    EXPECT_EQ(unpackEg(value(WhiteKing, "b4")), -3);
}

}  // namespace
