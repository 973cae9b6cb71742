#include "eval/pawns.h"

#include "eval_helpers.h"

namespace {

PawnEntry pawnEntryOf(const char* fen) {
    auto p = positionFrom(fen);
    PawnEntry e;
    evaluatePawns(*p, e);
    return e;
}

TEST(PawnStructure, StartPositionIsBalancedWithShelterTen) {
    const PawnEntry e = pawnEntryOf(StartFen);
    EXPECT_EQ(e.score, 0);
    EXPECT_EQ(e.shelter[White], 10);
    EXPECT_EQ(e.shelter[Black], 10);
    EXPECT_EQ(e.pawnFiles[White], 0xFF);
    EXPECT_EQ(e.pawnFiles[Black], 0xFF);
    EXPECT_EQ(e.passedFiles[White], 0);
    EXPECT_EQ(e.passedFiles[Black], 0);
}

TEST(PawnStructure, LonePassedPawnOnE5) {
    // Base (20, 30), isolated and open (0, -5), own king five squares from e6 (0, -16),
    // enemy king two squares away and not behind (0, +15).
    const PawnEntry e = pawnEntryOf("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.score, pack(20, 24));
    EXPECT_EQ(e.passedFiles[White], 1 << 4);
    EXPECT_EQ(e.pawnFiles[White], 1 << 4);
    // The same pawn for Black, mirrored, scores the same against White.
    const PawnEntry b = pawnEntryOf("4k3/8/8/8/4p3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(b.score, pack(-20, -24));
    EXPECT_EQ(b.passedFiles[Black], 1 << 4);
}

TEST(PawnStructure, DoubledPawnBehindIsPenalisedNotTheFrontOne) {
    // e2: isolated, not open (-4, -6), doubled (0, -12). e3: isolated and open (-10, -15),
    // passed (5, 5), own king 3 from e4 (0, -8), enemy king 4 away (0, +25).
    const PawnEntry e = pawnEntryOf("4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1");
    EXPECT_EQ(e.score, pack(-4 - 10 + 5, -6 - 12 - 15 + 5 - 8 + 25));
    EXPECT_EQ(e.passedFiles[White], 1 << 4);
}

TEST(PawnStructure, IslandsCostMoreTheMoreThereAre) {
    // Three isolated, open, passed pawns on a2, c2, e2: (-10, -15) + (5, 5) each, the king
    // terms by distance to a3, c3, e3, and (14, 14) for three islands.
    const PawnEntry three = pawnEntryOf("4k3/8/8/8/8/8/P1P1P3/4K3 w - - 0 1");
    EXPECT_EQ(three.score, pack(-15 - 14, -30 - 12 - 4 - 4 + 90 - 14));
    // a2-b2-c2: side by side (1, 1) each, one island.
    const PawnEntry one = pawnEntryOf("4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1");
    EXPECT_EQ(one.score, pack(3 + 15, 3 + 15 - 12 - 8 - 4 + 90));
    EXPECT_EQ(one.passedFiles[White], 0b111);
}

TEST(PawnStructure, BackwardPawnOnAnOpenFile) {
    // d3 cannot advance past e5's guard of d4 and has no pawn beside or behind it: backward
    // (-8, -12) on top of isolated (-10, -15); e5 is isolated too.
    const PawnEntry e = pawnEntryOf("4k3/8/8/4p3/8/3P4/8/4K3 w - - 0 1");
    EXPECT_EQ(e.score, pack(-18 + 10, -27 + 15));
    EXPECT_EQ(e.passedFiles[White] | e.passedFiles[Black], 0);
}

TEST(PawnStructure, CandidatePasserWithEnoughSupport) {
    // d5 faces only e6 and is backed by c4: candidate (15, 25), defended (1, 2). c4 is a
    // passed pawn: (5, 10), own king 4 from c5 (0, -12), enemy king 3 away (0, +20). e6 is
    // isolated and open (-10, -15) and no candidate (d5 outnumbers its defenders).
    const PawnEntry e = pawnEntryOf("4k3/8/4p3/3P4/2P5/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.score, pack(16 + 5 + 10, 27 + 18 + 15));
    EXPECT_EQ(e.passedFiles[White], 1 << 2);
    EXPECT_EQ(e.passedFiles[Black], 0);
}

TEST(KingShelter, CastlingRightsOfferTheBetterSquare) {
    // e1 behind no pawns of d and e: 30 + 55 + 0; g1 behind f2-g2-h2 scores 10, plus a
    // storm of 10 for each of three empty black files (the kings stand on opposite wings).
    const PawnEntry canCastle = pawnEntryOf("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    const PawnEntry cannot = pawnEntryOf("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(canCastle.shelter[White], 40);
    EXPECT_EQ(cannot.shelter[White], 85);
}

TEST(KingShelter, StormCountsEnemyPawnsWhenKingsStandOnOppositeWings) {
    auto p = positionFrom("1k6/1p6/8/8/6p1/8/5PPP/6K1 w - - 0 1");
    // Own pawns on rank 2 give 0, raised to 10; storm: f none 10, g4 (rank index 3) 20, h 10.
    EXPECT_EQ(kingShelter(*p, White, 6), 50);
    // Black king g8 on the same wing: no storm part.
    auto sameWing = positionFrom("6k1/8/8/8/6p1/8/5PPP/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*sameWing, White, 6), 10);
    // Black's king judged from the top: b7 pawn right in front, a and c files empty.
    EXPECT_EQ(kingShelter(*p, Black, 57), 30 + 0 + 30 + 10 + 10 + 10);
}

TEST(PawnTable, ProbeKeyCoversKingsAndCastlingRights) {
    auto a = positionFrom("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    auto b = positionFrom("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    auto c = positionFrom("4k3/8/8/8/8/8/5PPP/3K3R w - - 0 1");
    EXPECT_EQ(a->pawnKey, b->pawnKey);
    EXPECT_NE(pawnProbeKey(*a), pawnProbeKey(*b));
    EXPECT_NE(pawnProbeKey(*b), pawnProbeKey(*c));
    const PawnEntry& e = probePawns(*a);
    EXPECT_EQ(e.check, uint32_t(pawnProbeKey(*a) >> 32));
    EXPECT_EQ(e.shelter[White], 40);
}

}  // namespace
