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
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(materialScale(cases[i].side, cases[i].other), cases[i].scale) << "row " << i;
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

// The material flags send these endgames to their rules. King and pawn against king: the
// defending king in front of the pawn draws, for a rook pawn anywhere ahead on the file or
// next to the corner. A rook pawn whose promotion square the bishop cannot cover, with the
// defending king in that corner, is a draw; the right bishop, or the king away, is not.
TEST(EndgameRules, KingInFrontOfThePawnOrTheWrongBishopDraws) {
    const std::pair<const char*, bool> cases[] = {
        {"8/8/8/4k3/4P3/8/8/4K3 w - - 0 1", true},    {"8/8/8/8/4P3/4k3/8/4K3 b - - 0 1", false},
        {"4k3/8/4P3/8/8/8/8/4K3 w - - 0 1", false},   {"1k6/8/8/8/P7/8/8/4K3 w - - 0 1", true},
        {"2k5/8/8/8/P7/8/8/4K3 w - - 0 1", false},    {"4k3/8/8/4p3/4K3/8/8/8 w - - 0 1", true},
        {"4k3/8/8/8/8/8/7p/7K w - - 0 1", true},      {"4k3/8/8/8/8/8/7p/2K5 w - - 0 1", false},
        {"k7/8/8/8/8/P7/P7/2B1K3 w - - 0 1", true},   {"k7/8/8/8/8/P7/P7/3BK3 w - - 0 1", false},
        {"8/8/3k4/8/8/P7/P7/2B1K3 w - - 0 1", false}, {"4k3/7p/8/8/8/8/8/6bK b - - 0 1", true},
    };
    for (const auto& [fen, draw] : cases) EXPECT_EQ(evaluate(*positionFrom(fen)) == 0, draw) << fen;
}

}  // namespace
