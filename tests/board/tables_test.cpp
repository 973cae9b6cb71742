#include "board/tables.h"

#include "board/positions.h"

namespace {

// The attack, line and pawn-span tables are proved by the perft suite, the suite walk (a
// million positions with pins, evasions and checks) and the pawn-structure examples; the key
// squares of a pawn serve only the passed-pawn term.
TEST(PawnMasks, KeySquaresOfEachKindOfPawn) {
    const struct {
        Color side;
        const char *pawn, *keys;
    } cases[] = {
        {White, "d2", "c4 d4 e4"},          {White, "a4", ""},   {White, "h6", "g7 g8"},
        {White, "d6", "c7 d7 e7 c8 d8 e8"}, {Black, "h4", "g2"}, {Black, "d4", "c2 d2 e2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeySquares[c.side][sq(c.pawn)], squares(c.keys)) << c.pawn;
}

}  // namespace
