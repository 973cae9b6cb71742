#include "eval/material.h"

#include "eval/eval.h"
#include "eval_helpers.h"

namespace {

// pawns, knights, light bishops, dark bishops, rooks, queens
constexpr SideCounts Bare{0, 0, 0, 0, 0, 0};
SideCounts pawns(int n) {
    return {n, 0, 0, 0, 0, 0};
}

TEST(MaterialScale, ExamplesOfTheEndgameRows) {
    const SideCounts knightAndBishop{0, 1, 1, 0, 0, 0}, knight{0, 1, 0, 0, 0, 0};
    const SideCounts bishop{0, 0, 1, 0, 0, 0}, rook{0, 0, 0, 0, 1, 0};
    EXPECT_EQ(materialScale(knight, Bare), 0);                      // lone minor
    EXPECT_EQ(materialScale(knightAndBishop, Bare), 128);           // mating material
    EXPECT_EQ(materialScale(knightAndBishop, knight), 32);          // two minors against one
    EXPECT_EQ(materialScale(knightAndBishop, knightAndBishop), 4);  // two against two
    EXPECT_EQ(materialScale(rook, bishop), 64);                     // rook against bishop
    EXPECT_EQ(materialScale({1, 0, 0, 0, 1, 0}, bishop), 128);      // ... with a pawn
    EXPECT_EQ(materialScale({0, 2, 0, 0, 0, 0}, Bare), 0);          // two knights
    EXPECT_EQ(materialScale({0, 2, 0, 0, 0, 0}, pawns(1)), 64);     // ... against a pawn
    EXPECT_EQ(materialScale(bishop, knight), 0);                    // equal minors
    EXPECT_EQ(materialScale({1, 0, 1, 0, 0, 0}, knight), 32);       // ... and one pawn
}

TEST(MaterialScale, RowsDependOnTheDefendersPawns) {
    const SideCounts threeMinors{0, 1, 1, 1, 0, 0}, twoMinors{0, 1, 1, 0, 0, 0};
    EXPECT_EQ(materialScale(threeMinors, {1, 0, 1, 1, 0, 0}), (8 - 1) * 8);
    EXPECT_EQ(materialScale({1, 1, 1, 1, 0, 0}, {1, 0, 1, 1, 0, 0}), 128);  // p < 2
    EXPECT_EQ(materialScale({1, 1, 1, 1, 0, 0}, {3, 0, 1, 1, 0, 0}), (32 - 3) * 4);
    // Queen, rook and bishop against queen and rook: (24 - p) * 4.
    EXPECT_EQ(materialScale({0, 0, 1, 0, 1, 1}, {2, 0, 0, 0, 1, 1}), (24 - 2) * 4);
    // Queen and rook against queen and bishop.
    EXPECT_EQ(materialScale({0, 0, 0, 0, 1, 1}, {0, 0, 1, 0, 0, 1}), 24 * 4);
    // Two minors against a rook, three minors against rook and minor.
    EXPECT_EQ(materialScale(twoMinors, {1, 0, 0, 0, 1, 0}), (4 - 1) * 8);
    EXPECT_EQ(materialScale({1, 1, 1, 1, 0, 0}, {3, 1, 0, 0, 1, 0}), (32 - 3) * 4);
    EXPECT_EQ(materialScale({0, 1, 1, 0, 0, 1}, {0, 0, 0, 0, 1, 1}), 24 * 4);
    // Two pawns, more than two units ahead, or behind: no reduction.
    EXPECT_EQ(materialScale({2, 1, 0, 0, 0, 0}, Bare), 128);
    EXPECT_EQ(materialScale({0, 0, 0, 0, 0, 1}, Bare), 128);
    EXPECT_EQ(materialScale(Bare, {0, 0, 0, 0, 1, 0}), 128);
}

TEST(MaterialScale, NeverGoesBelowZeroAgainstManyPawns) {
    // (4 - p) * 8 for two minors against one would be negative from five pawns on.
    EXPECT_EQ(materialScale({0, 1, 1, 0, 0, 0}, {5, 1, 0, 0, 0, 0}), 0);
    EXPECT_EQ(materialScale({0, 1, 1, 0, 0, 0}, {7, 1, 0, 0, 0, 0}), 0);
}

TEST(MaterialEntry, StartPositionHasFullPhaseEqualBalanceAndAttackFlags) {
    auto p = positionFrom(StartFen);
    const MaterialEntry& m = probeMaterial(*p);
    EXPECT_EQ(m.phase, 32);
    EXPECT_EQ(m.material, 0);
    EXPECT_EQ(m.leadingSide, 2);  // a tie counts as Black leading
    EXPECT_EQ(m.scale, 128);
    EXPECT_EQ(m.flags[White], AttackKing);
    EXPECT_EQ(m.flags[Black], AttackKing);
}

TEST(MaterialEntry, BalanceBlendsPieceValuesByPhaseAndAdjustsForPawns) {
    // A knight up, no pawns: phase 1 blends 324 and 292 as (324 + 31 * 292) >> 5 = 293.
    auto knightUp = positionFrom("4k3/8/8/8/8/8/8/3NK3 w - - 0 1");
    EXPECT_EQ(materialBalance(countMaterial(*knightUp, White), countMaterial(*knightUp, Black)),
              293 - 5 * 5);
    // Rook against knight, six pawns each: the rook side loses 5, the knight side gains 5.
    auto rookVsKnight = positionFrom("4k1n1/pppppp2/8/8/8/8/PPPPPP2/4K1R1 w - - 0 1");
    const SideCounts w = countMaterial(*rookVsKnight, White),
                     b = countMaterial(*rookVsKnight, Black);
    // Phase 4: (475 - 324) * 4 + (475 - 292) * 28 = 5728, >> 5 = 179.
    EXPECT_EQ(materialBalance(w, b), 179 - 5 - 5);
    // The bishop pair is worth (47, 47) on top of the bishops.
    auto pair = positionFrom("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1");
    auto sameColour = positionFrom("4k3/8/8/8/8/8/8/1B2KB2 w - - 0 1");
    EXPECT_EQ(
        materialBalance(countMaterial(*pair, White), countMaterial(*pair, Black)) -
            materialBalance(countMaterial(*sameColour, White), countMaterial(*sameColour, Black)),
        47);
}

TEST(MaterialEntry, FlagsFollowTheCounts) {
    // Queen and one more piece: attack flag; a lone queen has none.
    auto queenAndRook = positionFrom("4k3/8/8/8/8/8/8/Q2RK3 w - - 0 1");
    EXPECT_EQ(probeMaterial(*queenAndRook).flags[White], AttackKing);
    auto loneQueen = positionFrom("4k3/8/8/8/8/8/8/Q3K3 w - - 0 1");
    EXPECT_EQ(probeMaterial(*loneQueen).flags[White], 0);
    // Pawns and bishops of one square colour, or pawns alone: wrong bishop possible.
    auto bishopAndPawn = positionFrom("4k3/8/8/8/8/8/P7/2B1K3 w - - 0 1");
    EXPECT_EQ(probeMaterial(*bishopAndPawn).flags[White], WrongBishop);
    auto bothBishops = positionFrom("4k3/8/8/8/8/8/P7/2B1KB2 w - - 0 1");
    EXPECT_EQ(probeMaterial(*bothBishops).flags[White], 0);
    // A single pawn against a bare king.
    auto kpk = positionFrom("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    EXPECT_EQ(probeMaterial(*kpk).flags[White], WrongBishop | LonePawn);
    EXPECT_EQ(probeMaterial(*kpk).flags[Black], 0);
    auto pawnEach = positionFrom("4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1");
    EXPECT_EQ(probeMaterial(*pawnEach).flags[White] & LonePawn, 0);
}

int kpkScaleOf(const char* fen) {
    auto p = positionFrom(fen);
    return kpkScale(*p, probeMaterial(*p));
}

TEST(KpkScale, DefendingKingInFrontOfThePawnDraws) {
    EXPECT_EQ(kpkScaleOf("8/8/8/4k3/4P3/8/8/4K3 w - - 0 1"), 0);    // e4, king e5
    EXPECT_EQ(kpkScaleOf("8/8/4k3/8/4P3/8/8/4K3 w - - 0 1"), 0);    // e4, king e6
    EXPECT_EQ(kpkScaleOf("8/8/8/8/4P3/4k3/8/4K3 b - - 0 1"), 128);  // king behind
    EXPECT_EQ(kpkScaleOf("8/4k3/4P3/8/8/8/8/4K3 w - - 0 1"), 0);    // e6, king e7
    EXPECT_EQ(kpkScaleOf("4k3/8/4P3/8/8/8/8/4K3 w - - 0 1"), 128);  // e6, king e8
    // Rook pawns: the king anywhere ahead on the file, or next to the corner.
    EXPECT_EQ(kpkScaleOf("k7/8/8/8/P7/8/8/4K3 w - - 0 1"), 0);
    EXPECT_EQ(kpkScaleOf("1k6/8/8/8/P7/8/8/4K3 w - - 0 1"), 0);
    EXPECT_EQ(kpkScaleOf("2k5/8/8/8/P7/8/8/4K3 w - - 0 1"), 128);
    EXPECT_EQ(kpkScaleOf("8/6k1/8/8/8/8/7P/4K3 w - - 0 1"), 0);
    // Black's pawn is judged on the mirrored board.
    EXPECT_EQ(kpkScaleOf("4k3/8/8/4p3/4K3/8/8/8 w - - 0 1"), 0);
    EXPECT_EQ(kpkScaleOf("4k3/8/8/8/8/8/7p/7K w - - 0 1"), 0);
    EXPECT_EQ(kpkScaleOf("4k3/8/8/8/8/8/7p/2K5 w - - 0 1"), 128);
}

TEST(WrongBishop, RookPawnWithTheWrongBishopAndTheKingInTheCornerIsADraw) {
    // Dark-square bishop, a-pawns, black king on a8: no way to drive it out.
    auto dark = positionFrom("k7/8/8/8/8/P7/P7/2B1K3 w - - 0 1");
    EXPECT_EQ(wrongBishopScale(*dark, probeMaterial(*dark)), 0);
    EXPECT_EQ(evaluate(*dark), 0);
    // A light-square bishop covers a8.
    auto light = positionFrom("k7/8/8/8/8/P7/P7/3BK3 w - - 0 1");
    EXPECT_EQ(wrongBishopScale(*light, probeMaterial(*light)), probeMaterial(*light).scale);
    EXPECT_GT(evaluate(*light), 0);
    // Pawns only, king in the corner of the h-pawn.
    auto hPawn = positionFrom("7k/8/8/8/8/7P/8/4K3 w - - 0 1");
    EXPECT_EQ(wrongBishopScale(*hPawn, probeMaterial(*hPawn)), 0);
    // King out of the corner.
    auto away = positionFrom("8/8/3k4/8/8/P7/P7/2B1K3 w - - 0 1");
    EXPECT_GT(wrongBishopScale(*away, probeMaterial(*away)), 0);
    // Black's h-pawn promotes on light h1: a dark-square bishop (g1) cannot help, a
    // light-square one (f1) can.
    auto blackWrong = positionFrom("4k3/7p/8/8/8/8/8/6bK b - - 0 1");
    EXPECT_EQ(wrongBishopScale(*blackWrong, probeMaterial(*blackWrong)), 0);
    auto blackRight = positionFrom("4k3/7p/8/8/8/8/8/5b1K b - - 0 1");
    EXPECT_EQ(wrongBishopScale(*blackRight, probeMaterial(*blackRight)),
              probeMaterial(*blackRight).scale);
}

}  // namespace
