#include "board/tables.h"

#include <random>

#include "board/positions.h"

namespace {

// Independent references: squares reached by steps from a square, sliders stopping at the
// first occupied square.
Bitboard reach(int s, std::initializer_list<std::pair<int, int>> steps, Bitboard occ, bool slide) {
    Bitboard result = 0;
    for (const auto& [df, dr] : steps) {
        for (int f = fileOf(s) + df, r = rankOf(s) + dr; f >= 0 && f < 8 && r >= 0 && r < 8;
             f += df, r += dr) {
            result |= Bitboard(1) << (8 * r + f);
            if (!slide || (occ & (Bitboard(1) << (8 * r + f)))) break;
        }
    }
    return result;
}
Bitboard walkRays(int s, Bitboard occ, bool diagonal) {
    return diagonal ? reach(s, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}, occ, true)
                    : reach(s, {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}, occ, true);
}

TEST(SliderTables, LookupsEqualARayWalkForManyRandomOccupancies) {
    std::mt19937_64 rng(12345);
    for (int s = 0; s < 64; ++s) {
        for (int i = 0; i < 3000; ++i) {
            // Mix sparse and dense boards so that both near and far blockers occur.
            Bitboard occ = rng() & rng();
            if (i % 3 == 1) occ = rng();
            if (i % 3 == 2) occ &= rng() & rng();
            ASSERT_EQ(BishopAttacks(s, occ), walkRays(s, occ, true)) << "bishop on " << s;
            ASSERT_EQ(RookAttacks(s, occ), walkRays(s, occ, false)) << "rook on " << s;
            ASSERT_EQ(QueenAttacks(s, occ), walkRays(s, occ, true) | walkRays(s, occ, false));
        }
    }
    // The last rook square's block ends exactly at the end of the shared table.
    EXPECT_EQ(RookOffset[63] + (1u << (64 - RookShift[63])), uint32_t(SliderTableSize));
}

// The line, between and leaper tables are proved by the perft suite (pins, evasions, checks);
// the pawn masks serve only the evaluation, and are checked against their definitions here.
TEST(PawnMasks, SpansAndPhalanxMatchTheirDefinitions) {
    for (int s = 0; s < 64; ++s) {
        ASSERT_EQ(PhalanxMask[s],
                  rankOf(s) == 0 || rankOf(s) == 7 ? 0 : reach(s, {{-1, 0}, {1, 0}}, 0, false));
        for (Color c : {White, Black}) {
            const int up = c == White ? 1 : -1;
            const Bitboard front = reach(s, {{0, up}}, 0, true);
            const Bitboard attack = reach(s, {{-1, up}, {1, up}}, 0, false);
            Bitboard attackSpan = 0;
            for (Bitboard b = attack; b; popLsb(b))
                attackSpan |= reach(lsb(b), {{0, up}}, 0, true) | SquareBit[lsb(b)];
            ASSERT_EQ(FrontSpan[c][s], front) << c << " " << s;
            ASSERT_EQ(AttackSpan[c][s], attackSpan) << c << " " << s;
            ASSERT_EQ(PassedPawnMask[c][s], front | attackSpan) << c << " " << s;
        }
    }
}

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
