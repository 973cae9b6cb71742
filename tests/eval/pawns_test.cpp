#include "eval/pawns.h"

#include "eval_helpers.h"

namespace {

PawnEntry pawnEntryOf(const char* fen) {
    auto p = positionFrom(fen);
    PawnEntry e;
    evaluatePawns(*p, e);
    return e;
}

// Each score is worked out term by term in its comment.
TEST(PawnStructure, EachTermScoresAsWorkedOut) {
    const struct {
        const char* fen;
        PackedScore score;
        int passedWhite, passedBlack;
    } cases[] = {
        {StartFen, 0, 0, 0},
        // e5: base (20, 30), isolated and open (0, -5), own king five squares from e6
        // (0, -16), enemy king two squares away and not behind (0, +15).
        {"4k3/8/8/4P3/8/8/8/4K3 w - - 0 1", pack(20, 24), 1 << 4, 0},
        // The same pawn for Black, mirrored, scores the same against White.
        {"4k3/8/8/8/4p3/8/8/4K3 w - - 0 1", pack(-20, -24), 0, 1 << 4},
        // Doubled: e2 isolated, not open (-4, -6), doubled (0, -12); e3 isolated and open
        // (-10, -15), passed (5, 5), own king 3 from e4 (0, -8), enemy king 4 away (0, +25).
        {"4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", pack(-4 - 10 + 5, -6 - 12 - 15 + 5 - 8 + 25), 1 << 4,
         0},
        // Three isolated, open, passed pawns a2, c2, e2: (-10, -15) + (5, 5) each, the king
        // terms by distance to a3, c3, e3, and (14, 14) for three islands.
        {"4k3/8/8/8/8/8/P1P1P3/4K3 w - - 0 1", pack(-15 - 14, -30 - 12 - 4 - 4 + 90 - 14), 0b10101,
         0},
        // a2-b2-c2: side by side (1, 1) each, one island.
        {"4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1", pack(3 + 15, 3 + 15 - 12 - 8 - 4 + 90), 0b111, 0},
        // d3 cannot advance past e5's guard of d4 and has no pawn beside or behind it:
        // backward (-8, -12) on top of isolated (-10, -15); e5 is isolated too.
        {"4k3/8/8/4p3/8/3P4/8/4K3 w - - 0 1", pack(-18 + 10, -27 + 15), 0, 0},
        // d5 faces only e6 and is backed by c4: candidate (15, 25), defended (1, 2). c4 is
        // passed: (5, 10), own king 4 from c5 (0, -12), enemy king 3 away (0, +20). e6 is
        // isolated and open (-10, -15) and no candidate (d5 outnumbers its defenders).
        {"4k3/8/4p3/3P4/2P5/8/8/4K3 w - - 0 1", pack(16 + 5 + 10, 27 + 18 + 15), 1 << 2, 0},
    };
    for (const auto& c : cases) {
        const PawnEntry e = pawnEntryOf(c.fen);
        EXPECT_EQ(e.score, c.score) << c.fen;
        EXPECT_EQ(e.passedFiles[White], c.passedWhite) << c.fen;
        EXPECT_EQ(e.passedFiles[Black], c.passedBlack) << c.fen;
    }
    const PawnEntry start = pawnEntryOf(StartFen);
    EXPECT_EQ(start.shelter[White], 10);
    EXPECT_EQ(start.shelter[Black], 10);
    EXPECT_EQ(start.pawnFiles[White] & start.pawnFiles[Black], 0xFF);
    EXPECT_EQ(pawnEntryOf("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1").pawnFiles[White], 1 << 4);
}

// e1 behind no pawns of d and e: 30 + 55 + 0; g1 behind f2-g2-h2 scores 10, plus a storm of
// 10 for each of three empty black files (the kings stand on opposite wings). The castling
// right offers g1, and is part of the table's key.
TEST(KingShelter, CastlingRightsOfferTheBetterSquareAndArePartOfTheKey) {
    auto a = positionFrom("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    auto b = positionFrom("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(probePawns(*a, ToolEvalCaches.pawns).shelter[White], 40);
    EXPECT_EQ(probePawns(*b, ToolEvalCaches.pawns).shelter[White], 85);
    EXPECT_NE(pawnProbeKey(*a), pawnProbeKey(*b));
    EXPECT_NE(pawnProbeKey(*b), pawnProbeKey(*positionFrom("4k3/8/8/8/8/8/5PPP/3K3R w - - 0 1")));
    auto p = positionFrom("1k6/1p6/8/8/6p1/8/5PPP/6K1 w - - 0 1");
    // Own pawns on rank 2 give 0, raised to 10; storm: f none 10, g4 (rank index 3) 20, h 10.
    EXPECT_EQ(kingShelter(*p, White, sq("g1")), 50);
    // Black's king judged from the top: b7 pawn right in front, a and c files empty.
    EXPECT_EQ(kingShelter(*p, Black, sq("b8")), 30 + 0 + 30 + 10 + 10 + 10);
    // Black king g8 on the same wing: no storm part.
    EXPECT_EQ(kingShelter(*positionFrom("6k1/8/8/8/6p1/8/5PPP/6K1 w - - 0 1"), White, sq("g1")),
              10);
}

}  // namespace
