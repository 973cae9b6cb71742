#include "eval/pieces.h"

#include "eval_helpers.h"

namespace {

// The piece terms alone: the full evaluation skips them when the material is a dead draw.
PieceTermTrace piecesOf(const char* fen) {
    auto p = positionFrom(fen);
    PieceTermTrace t{};
    evaluatePieces(*p, probeMaterial(*p), probePawns(*p), &t);
    return t;
}

PackedScore group(const char* fen, PieceTermGroup g, Color side) {
    return piecesOf(fen).group[g][side];
}

TEST(RookTerms, OpenAndHalfOpenFiles) {
    // Rook e1 beside its king f1. With a black pawn on e7: ten mobility squares (20, 20),
    // touching a pawn (1, 1), no own pawn on the file (16, 12).
    EXPECT_EQ(group("4k3/4p3/8/8/8/8/8/4RK2 w - - 0 1", GroupRooks, White), pack(37, 33));
    // Without it (and the king out of check on d8): eleven squares (22, 22) and a file free
    // of pawns (36, 20).
    EXPECT_EQ(group("3k4/8/8/8/8/8/8/4RK2 w - - 0 1", GroupRooks, White), pack(58, 42));
    // An own pawn on the file takes the file bonus away; only d1..a1 remain to move to.
    EXPECT_EQ(group("4k3/8/8/8/8/8/4P3/4RK2 w - - 0 1", GroupRooks, White), pack(8, 8));
}

TEST(RookTerms, FileNextToTheEnemyKingCountsOnlyWithAttackMaterial) {
    // The queen on h3 gives White the attack flag without touching the rook's lines.
    const PackedScore withQueen = group("3k4/8/8/8/8/7Q/8/4RK2 w - - 0 1", GroupRooks, White);
    const PackedScore withoutQueen = group("3k4/8/8/8/8/8/8/4RK2 w - - 0 1", GroupRooks, White);
    EXPECT_EQ(withQueen - withoutQueen, pack(12, 12));
}

TEST(RookTerms, SeventhRankNeedsTheEnemyKingOrPawnsBehindIt) {
    // Moving the enemy king off the last two ranks changes nothing else for the rook.
    EXPECT_EQ(group("4k3/1R6/8/8/8/8/8/6K1 w - - 0 1", GroupRooks, White) -
                  group("8/1R6/4k3/8/8/8/8/6K1 w - - 0 1", GroupRooks, White),
              pack(2, 8));
    EXPECT_EQ(group("6k1/8/8/8/8/8/6r1/4K3 b - - 0 1", GroupRooks, Black) -
                  group("6k1/8/8/8/8/4K3/6r1/8 b - - 0 1", GroupRooks, Black),
              pack(2, 8));
}

TEST(KnightTerms, SupportedOutpostScoresFifteen) {
    // The d4 pawn supports e5 without changing the knight's moves.
    const PackedScore outpost = group("k7/8/8/4N3/3P4/8/8/K7 w - - 0 1", GroupKnights, White);
    const PackedScore loose = group("k7/8/8/4N3/8/8/8/K7 w - - 0 1", GroupKnights, White);
    EXPECT_EQ(outpost - loose, pack(15, 15));
    // A black pawn on f6 could still chase it: no (5, 5) for that.
    const PackedScore chased = group("k7/8/5p2/4N3/3P4/8/8/K7 w - - 0 1", GroupKnights, White);
    const PackedScore chasedLoose = group("k7/8/5p2/4N3/8/8/8/K7 w - - 0 1", GroupKnights, White);
    EXPECT_EQ(chased - chasedLoose, pack(10, 10));
}

TEST(KnightTerms, ForkOfKingAndRook) {
    // Knight d6 hits the king e8 and the rook b7: (35, 35) on top of mobility.
    const PackedScore fork = group("4k3/1r6/3N4/8/8/8/8/4K3 b - - 0 1", GroupKnights, White);
    const PackedScore noFork = group("4k3/r7/3N4/8/8/8/8/4K3 b - - 0 1", GroupKnights, White);
    EXPECT_EQ(fork - noFork, pack(35, 35));
}

TEST(KingAttack, OnePieceInTheZoneScoresOnlyTheShelter) {
    // Black king h8 without pawns: shelter 30 + 55 and a storm of 10 + 10 = 105.
    // Queen c1 stays out of the zone; knight f5 (weight 10) and rook a7 (20) reach it.
    const char* twoAttackers = "7k/R7/8/5N2/8/8/8/K1Q5 w - - 0 1";
    EXPECT_EQ(probePawns(*positionFrom(twoAttackers)).shelter[Black], 105);
    EXPECT_EQ(group(twoAttackers, GroupKingAttack, White), pack(128 * 30 / 256 + 105, 0));
    EXPECT_EQ(group("7k/R7/8/8/8/8/8/K1Q5 w - - 0 1", GroupKingAttack, White), pack(105, 0));
    // Without a queen there is no king attack, and the shelter is not added either.
    EXPECT_EQ(group("7k/R7/8/5N2/8/8/8/K7 w - - 0 1", GroupKingAttack, White), 0);
}

TEST(PassedPawnTerms, LonePasserOutsideTheKingsSquareIsUnstoppable) {
    // a5 against the king on e5: the side to move decides the race.
    const PackedScore whiteMoves = group("8/8/8/P3k3/8/8/8/K7 w - - 0 1", GroupPassedPawns, White);
    const PackedScore blackMoves = group("8/8/8/P3k3/8/8/8/K7 b - - 0 1", GroupPassedPawns, White);
    EXPECT_EQ(whiteMoves - blackMoves, pack(0, 560));
    // A path blocked by own pieces does not stop the bonus against king and pawns.
    // Unstoppable 560, enemy path free 6, path safe 20, rook pawn against no pieces 8.
    EXPECT_EQ(group("R7/N7/B7/P3k3/8/8/8/K7 w - - 0 1", GroupPassedPawns, White),
              pack(0, 560 + 6 + 20 + 8));
}

TEST(PassedPawnTerms, RooksBehindThePasser) {
    // e5 passer, own rook e1 behind it (20, 10); an enemy rook there costs (0, -15).
    const PackedScore own = group("k7/8/8/4P3/8/8/8/K3R3 w - - 0 1", GroupPassedPawns, White);
    const PackedScore none = group("k7/8/8/4P3/8/8/8/K6R w - - 0 1", GroupPassedPawns, White);
    EXPECT_EQ(own - none, pack(20, 10));
}

TEST(Patterns, TrappedBishopCountsOnceAndOnlyInTheMiddleGame) {
    EXPECT_EQ(group("4k3/8/1p6/B7/8/8/8/4K3 w - - 0 1", GroupPatterns, White), 0);
    EXPECT_EQ(group("4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1", GroupPatterns, White), pack(-50, 0));
    EXPECT_EQ(group("4k3/B7/Bp6/1p6/8/8/8/4K3 w - - 0 1", GroupPatterns, White), pack(-50, 0));
    // Black's mirror image.
    EXPECT_EQ(group("4k3/8/8/8/8/1P6/b7/4K3 w - - 0 1", GroupPatterns, Black), pack(-50, 0));
}

TEST(Patterns, BlockedBishopAndShutInRook) {
    EXPECT_EQ(group("4k3/8/8/8/8/3N4/3P4/2B1K3 w - - 0 1", GroupPatterns, White), pack(-30, 0));
    EXPECT_EQ(group("4k3/8/8/8/8/8/8/5KR1 w - - 0 1", GroupPatterns, White), pack(-30, 0));
    EXPECT_EQ(group("r1k5/8/8/8/8/8/8/4K3 w - - 0 1", GroupPatterns, Black), pack(-30, 0));
}

}  // namespace
