#include "board/tables.h"

#include <gtest/gtest.h>

#include <random>

#include "board/squares.h"

namespace {

// Independent reference: walk each ray square by square up to the first occupied square.
Bitboard walkRays(int s, Bitboard occ, bool diagonal) {
    static const int diagonalSteps[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    static const int straightSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    const auto& steps = diagonal ? diagonalSteps : straightSteps;
    Bitboard result = 0;
    for (const auto& step : steps) {
        for (int f = fileOf(s) + step[0], r = rankOf(s) + step[1];
             f >= 0 && f < 8 && r >= 0 && r < 8; f += step[0], r += step[1]) {
            result |= Bitboard(1) << (8 * r + f);
            if (occ & (Bitboard(1) << (8 * r + f))) break;
        }
    }
    return result;
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
}

TEST(SliderTables, LayoutFollowsTheMaskSizes) {
    EXPECT_EQ(popcount(RookMask[sq("a1")]), 12);
    EXPECT_EQ(RookMask[sq("a1")],
              squares({"b1", "c1", "d1", "e1", "f1", "g1", "a2", "a3", "a4", "a5", "a6", "a7"}));
    EXPECT_EQ(popcount(BishopMask[sq("d4")]), 9);
    EXPECT_EQ(popcount(RookMask[sq("d4")]), 10);
    EXPECT_EQ(BishopOffset[sq("b1")], 64u);
    EXPECT_EQ(BishopOffset[sq("c1")], 96u);
    EXPECT_EQ(RookOffset[sq("a1")], 5248u);
    EXPECT_EQ(RookOffset[sq("b1")], 9344u);
    EXPECT_EQ(RookOffset[63] + (1u << (64 - RookShift[63])), uint32_t(SliderTableSize));
}

TEST(SliderTables, BlockersAreIncludedAndOffLineSquaresIgnored) {
    EXPECT_EQ(popcount(RookAttacks(sq("a1"), 0)), 14);
    EXPECT_EQ(popcount(BishopAttacks(sq("d4"), 0)), 13);
    EXPECT_EQ(RookAttacks(sq("a1"), squares({"a3", "c1"})), squares({"a2", "a3", "b1", "c1"}));
    const Bitboard occ = squares({"d6", "f4", "b2", "d2"});
    EXPECT_EQ(RookAttacks(sq("d4"), occ), RookAttacks(sq("d4"), occ | squares({"a1", "h8"})));
}

TEST(Geometry, BetweenHoldsOnlySquaresStrictlyBetweenAlignedSquares) {
    EXPECT_EQ(Between[sq("a1")][sq("h8")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
    EXPECT_EQ(Between[sq("a1")][sq("b2")], 0u);
    EXPECT_EQ(Between[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(Between[sq("e1")][sq("e1")], 0u);
    EXPECT_EQ(Between[sq("e1")][sq("e8")], squares({"e2", "e3", "e4", "e5", "e6", "e7"}));
    EXPECT_EQ(Between[sq("h1")][sq("a8")], squares({"g2", "f3", "e4", "d5", "c6", "b7"}));
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) ASSERT_EQ(Between[a][b], Between[b][a]);
}

TEST(Geometry, LineThroughSpansTheWholeLineOrNothing) {
    EXPECT_EQ(LineThrough[sq("a1")][sq("c3")], 0x8040201008040201ull);
    EXPECT_EQ(LineThrough[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(LineThrough[sq("e4")][sq("e4")], FileMask[sq("e4")] | RankMask[sq("e4")] |
                                                   DiagonalMask[sq("e4")] |
                                                   AntiDiagonalMask[sq("e4")]);
    EXPECT_EQ(LineThrough[sq("c2")][sq("f5")], DiagonalMask[sq("d3")]);
    EXPECT_EQ(LineThrough[sq("b6")][sq("e3")], squares({"a7", "b6", "c5", "d4", "e3", "f2", "g1"}));
    EXPECT_EQ(AntiDiagonalMask[sq("h1")], 0x0102040810204080ull);
}

TEST(Geometry, LeapersAndAdjacentFilesStopAtTheEdges) {
    EXPECT_EQ(AdjacentFiles[0], FileMask[sq("b1")]);
    EXPECT_EQ(AdjacentFiles[7], FileMask[sq("g1")]);
    EXPECT_EQ(AdjacentFiles[3], FileMask[sq("c1")] | FileMask[sq("e1")]);
    EXPECT_EQ(PawnAttacks[White][sq("a1")], squares({"b2"}));
    EXPECT_EQ(PawnAttacks[White][sq("h8")], 0u);
    EXPECT_EQ(PawnAttacks[Black][sq("a8")], squares({"b7"}));
    EXPECT_EQ(PawnAttacks[Black][sq("e4")], squares({"d3", "f3"}));
    EXPECT_EQ(KnightAttacks[sq("a1")], squares({"b3", "c2"}));
    EXPECT_EQ(popcount(KnightAttacks[sq("d4")]), 8);
    EXPECT_EQ(KingAttacks[sq("h8")], squares({"g8", "g7", "h7"}));
    EXPECT_EQ(PieceAttacks[WhiteKnight](sq("a1"), AllSquares), KnightAttacks[sq("a1")]);
    EXPECT_EQ(PieceAttacks[BlackPawn](sq("e4"), 0), squares({"d3", "f3"}));
    EXPECT_EQ(PieceAttacks[0](sq("e4"), 0), 0u);
}

TEST(PawnMasks, SpansPhalanxAndKeySquaresMatchTheirDefinitions) {
    EXPECT_EQ(PassedPawnMask[White][sq("e2")],
              (FileMask[sq("d1")] | FileMask[sq("e1")] | FileMask[sq("f1")]) &
                  ~(RankMask[sq("a1")] | RankMask[sq("a2")]));
    EXPECT_EQ(PassedPawnMask[White][sq("e8")], 0u);
    EXPECT_EQ(FrontSpan[Black][sq("c3")], squares({"c2", "c1"}));
    EXPECT_EQ(AttackSpan[Black][sq("a3")], squares({"b2", "b1"}));
    EXPECT_EQ(PhalanxMask[sq("a1")], 0u);
    EXPECT_EQ(PhalanxMask[sq("d8")], 0u);
    EXPECT_EQ(PhalanxMask[sq("a5")], squares({"b5"}));
    EXPECT_EQ(PhalanxMask[sq("e7")], squares({"d7", "f7"}));
    EXPECT_EQ(KeySquares[White][sq("d2")], squares({"c4", "d4", "e4"}));
    EXPECT_EQ(KeySquares[White][sq("a4")], 0u);
    EXPECT_EQ(KeySquares[White][sq("a5")], squares({"b7"}));
    EXPECT_EQ(KeySquares[White][sq("h6")], squares({"g7", "g8"}));
    EXPECT_EQ(KeySquares[White][sq("d6")], squares({"c7", "d7", "e7", "c8", "d8", "e8"}));
    EXPECT_EQ(KeySquares[White][sq("d7")], squares({"c7", "e7", "c8", "d8", "e8"}));
    EXPECT_EQ(KeySquares[Black][sq("h4")], squares({"g2"}));
    EXPECT_EQ(KeySquares[Black][sq("a2")], squares({"b2", "b1"}));
    EXPECT_EQ(KeySquares[Black][sq("d4")], squares({"c2", "d2", "e2"}));
}

}  // namespace
