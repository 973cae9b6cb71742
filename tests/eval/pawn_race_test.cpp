#include "eval/pawn_race.h"

#include <gtest/gtest.h>

namespace {

constexpr int c1 = 2, h1 = 7, b2 = 9, d3 = 19, h4 = 31, a5 = 32, e5 = 36, h7 = 55, g8 = 62;

bool catches(Color pawn, int pawnSq, Color toMove, int kingSq) {
    return (SquareRule[pawn][pawnSq][toMove] >> kingSq) & 1;
}

TEST(SquareRule, PawnOnA5AgainstKingOnE5DependsOnTheMove) {
    EXPECT_FALSE(catches(White, a5, White, e5));
    EXPECT_TRUE(catches(White, a5, Black, e5));
}

TEST(SquareRule, PawnOnItsStartingRankGainsTheDoubleStep) {
    // b2 with White to move runs as if it stood on b3.
    EXPECT_TRUE(catches(White, b2, White, g8));
    EXPECT_FALSE(catches(White, b2, White, h7));
    // Black to move: six moves from b8 suffice, seven for a king next to the pawn.
    EXPECT_TRUE(catches(White, b2, Black, h7));
    EXPECT_TRUE(kingCatchesPawn(c1, b2, 1));
    EXPECT_TRUE(catches(White, b2, Black, c1));
    EXPECT_FALSE(kingCatchesPawn(h1, b2, 1));
    EXPECT_FALSE(catches(White, b2, Black, h1));
}

TEST(SquareRule, BlackPawnIsTheMirroredWhitePawn) {
    // Black pawn h4 runs to h1 in three moves; the king on d3 is four away from it.
    EXPECT_FALSE(catches(Black, h4, Black, d3));
    EXPECT_TRUE(catches(Black, h4, White, d3));
    for (int p = 8; p < 56; ++p) {
        for (int k = 0; k < 64; ++k) {
            for (Color side : {White, Black}) {
                ASSERT_EQ(catches(Black, p, side, k), catches(White, p ^ 56, side ^ 1, k ^ 56))
                    << p << " " << k << " " << side;
            }
        }
    }
}

}  // namespace
