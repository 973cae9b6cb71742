#include "eval/pawn_race.h"

#include "board/positions.h"

namespace {

bool catches(Color pawn, const char* pawnSq, Color toMove, const char* kingSq) {
    return (SquareRule[pawn][sq(pawnSq)][toMove] >> sq(kingSq)) & 1;
}

TEST(SquareRule, TheMoveTheDoubleStepAndTheKingsDistanceDecideTheRace) {
    EXPECT_FALSE(catches(White, "a5", White, "e5"));
    EXPECT_TRUE(catches(White, "a5", Black, "e5"));
    // b2 with White to move runs as if it stood on b3.
    EXPECT_TRUE(catches(White, "b2", White, "g8"));
    EXPECT_FALSE(catches(White, "b2", White, "h7"));
    // Black to move: six moves from b8 suffice, seven for a king next to the pawn.
    EXPECT_TRUE(catches(White, "b2", Black, "h7"));
    EXPECT_TRUE(catches(White, "b2", Black, "c1"));
    EXPECT_FALSE(catches(White, "b2", Black, "h1"));
}

TEST(SquareRule, BlackPawnIsTheMirroredWhitePawn) {
    for (int p = 8; p < 56; ++p)
        for (int k = 0; k < 64; ++k)
            for (Color side : {White, Black})
                ASSERT_EQ((SquareRule[Black][p][side] >> k) & 1,
                          (SquareRule[White][p ^ 56][side ^ 1] >> (k ^ 56)) & 1)
                    << p << " " << k << " " << side;
}

}  // namespace
