#include "eval/material.h"

#include "eval/eval.h"
#include "eval_helpers.h"

namespace {

int balanceOf(const char* fen) {
    auto p = positionFrom(fen);
    return materialBalance(countMaterial(*p, White), countMaterial(*p, Black));
}

// Counts are pawns, knights, light bishops, dark bishops, rooks, queens.
TEST(MaterialScale, EachEndgameRowScalesAsItsExampleSays) {
    const struct {
        SideCounts side, other;
        int scale;
    } cases[] = {
        {{0, 1, 0, 0, 0, 0}, {}, 0},                             // lone minor
        {{0, 1, 1, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 32},            // two minors against one
        {{0, 0, 0, 0, 1, 0}, {0, 0, 1, 0, 0, 0}, 64},            // rook against bishop
        {{1, 0, 1, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 32},            // equal minors and one pawn
        {{1, 1, 1, 1, 0, 0}, {3, 0, 1, 1, 0, 0}, (32 - 3) * 4},  // rows that depend on the
        {{0, 0, 1, 0, 1, 1}, {2, 0, 0, 0, 1, 1}, (24 - 2) * 4},  // defender's pawns
        {{0, 1, 1, 0, 0, 0}, {1, 0, 0, 0, 1, 0}, (4 - 1) * 8},   // two minors against R
        {{0, 1, 1, 0, 0, 0}, {7, 1, 0, 0, 0, 0}, 0},             // (4 - p) * 8 stops at zero
        {{}, {0, 0, 0, 0, 1, 0}, 128},                           // far behind
    };
    for (const auto& c : cases) {
        const SideCounts& s = c.side;
        EXPECT_EQ(materialScale(c.side, c.other), c.scale)
            << s.pawns << s.knights << s.lightBishops << s.darkBishops << s.rooks << s.queens
            << " against " << c.other.pawns << c.other.knights << c.other.lightBishops
            << c.other.darkBishops << c.other.rooks << c.other.queens;
    }
}

TEST(MaterialEntry, BalanceBlendsPieceValuesByPhaseAndAdjustsForPawns) {
    // A knight up, no pawns: phase 1 blends 324 and 292 as (324 + 31 * 292) >> 5 = 293.
    EXPECT_EQ(balanceOf("4k3/8/8/8/8/8/8/3NK3 w - - 0 1"), 293 - 5 * 5);
    // Rook against knight, six pawns each: the rook side loses 5, the knight side gains 5.
    // Phase 4: (475 - 324) * 4 + (475 - 292) * 28 = 5728, >> 5 = 179.
    EXPECT_EQ(balanceOf("4k1n1/pppppp2/8/8/8/8/PPPPPP2/4K1R1 w - - 0 1"), 179 - 5 - 5);
    // The bishop pair is worth (47, 47) on top of the bishops.
    EXPECT_EQ(balanceOf("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1") -
                  balanceOf("4k3/8/8/8/8/8/8/1B2KB2 w - - 0 1"),
              47);
}

TEST(MaterialEntry, FlagsFollowTheCounts) {
    const struct {
        const char* fen;
        int white, black;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/Q2RK3 w - - 0 1", AttackKing, 0},  // queen and one more piece
        // Pawns and bishops of one square colour, or pawns alone: wrong bishop possible.
        {"4k3/8/8/8/8/8/P7/2B1K3 w - - 0 1", WrongBishop, 0},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", WrongBishop | LonePawn, 0},  // against a bare king
        {"4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1", WrongBishop, WrongBishop},
    };
    for (const auto& c : cases) {
        const MaterialEntry& m = probeMaterial(*positionFrom(c.fen));
        EXPECT_EQ(m.flags[White], c.white) << c.fen;
        EXPECT_EQ(m.flags[Black], c.black) << c.fen;
    }
}

// The defending king in front of the pawn draws; for a rook pawn anywhere ahead on the file
// or next to the corner. Black's pawn is judged on the mirrored board.
TEST(KpkScale, DefendingKingInFrontOfThePawnDraws) {
    const struct {
        const char* fen;
        int scale;
    } cases[] = {
        {"8/8/8/4k3/4P3/8/8/4K3 w - - 0 1", 0},   {"8/8/8/8/4P3/4k3/8/4K3 b - - 0 1", 128},
        {"4k3/8/4P3/8/8/8/8/4K3 w - - 0 1", 128}, {"1k6/8/8/8/P7/8/8/4K3 w - - 0 1", 0},
        {"2k5/8/8/8/P7/8/8/4K3 w - - 0 1", 128},  {"4k3/8/8/4p3/4K3/8/8/8 w - - 0 1", 0},
        {"4k3/8/8/8/8/8/7p/7K w - - 0 1", 0},     {"4k3/8/8/8/8/8/7p/2K5 w - - 0 1", 128},
    };
    for (const auto& c : cases) {
        auto p = positionFrom(c.fen);
        EXPECT_EQ(kpkScale(*p, probeMaterial(*p)), c.scale) << c.fen;
    }
}

// A rook pawn whose promotion square the bishop cannot cover, with the defending king in
// that corner, is a draw; a bishop of the right colour, or the king away, keeps the scale.
TEST(WrongBishop, RookPawnWithTheWrongBishopAndTheKingInTheCornerIsADraw) {
    const struct {
        const char* fen;
        bool draw;
    } cases[] = {
        {"k7/8/8/8/8/P7/P7/2B1K3 w - - 0 1", true},    // dark bishop, a-pawns
        {"k7/8/8/8/8/P7/P7/3BK3 w - - 0 1", false},    // light bishop covers a8
        {"8/8/3k4/8/8/P7/P7/2B1K3 w - - 0 1", false},  // king out of the corner
        {"4k3/7p/8/8/8/8/8/6bK b - - 0 1", true},      // Black: h1 is light, g1 dark
    };
    for (const auto& c : cases) {
        auto p = positionFrom(c.fen);
        const MaterialEntry& m = probeMaterial(*p);
        EXPECT_EQ(wrongBishopScale(*p, m), c.draw ? 0 : m.scale) << c.fen;
        EXPECT_TRUE(!c.draw || evaluate(*p) == 0) << c.fen;
    }
    EXPECT_GT(evaluate(*positionFrom("k7/8/8/8/8/P7/P7/3BK3 w - - 0 1")), 0);
}

}  // namespace
