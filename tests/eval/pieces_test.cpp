#include "eval/pieces.h"

#include "eval_helpers.h"

namespace {

// One group of the piece terms alone: the full evaluation skips them when the material is a
// dead draw.
PackedScore group(const char* fen, PieceTermGroup g, Color side) {
    auto p = positionFrom(fen);
    PieceTermTrace t{};
    evaluatePieces(*p, probeMaterial(*p, ToolEvalCaches.material),
                   probePawns(*p, ToolEvalCaches.pawns), &t);
    return t.group[g][side];
}

// Each case scores a group in one position, or the difference to a second position that
// lacks only the term in question. Black's terms follow from the colour-mirror test.
TEST(PieceTerms, EachTermScoresAsWorkedOut) {
    const struct {
        const char *fen, *without;
        PieceTermGroup group;
        Color side;
        PackedScore score;
    } cases[] = {
        // Rook e1 beside its king f1. With a black pawn on e7: ten mobility squares (20, 20),
        // touching a pawn (1, 1), no own pawn on the file (16, 12).
        {"4k3/4p3/8/8/8/8/8/4RK2 w - - 0 1", nullptr, GroupRooks, White, pack(37, 33)},
        // Without it (and the king out of check on d8): eleven squares (22, 22) and a file
        // free of pawns (36, 20).
        {"3k4/8/8/8/8/8/8/4RK2 w - - 0 1", nullptr, GroupRooks, White, pack(58, 42)},
        // An own pawn on the file takes the file bonus away; only d1..a1 remain to move to.
        {"4k3/8/8/8/8/8/4P3/4RK2 w - - 0 1", nullptr, GroupRooks, White, pack(8, 8)},
        // The file next to the enemy king counts with attack material: the queen on h3 gives
        // White the flag without touching the rook's lines.
        {"3k4/8/8/8/8/7Q/8/4RK2 w - - 0 1", "3k4/8/8/8/8/8/8/4RK2 w - - 0 1", GroupRooks, White,
         pack(12, 12)},
        // The seventh rank needs the enemy king behind it; moving the king changes nothing
        // else for the rook.
        {"4k3/1R6/8/8/8/8/8/6K1 w - - 0 1", "8/1R6/4k3/8/8/8/8/6K1 w - - 0 1", GroupRooks, White,
         pack(2, 8)},
        // The d4 pawn supports the e5 outpost without changing the knight's moves.
        {"k7/8/8/4N3/3P4/8/8/K7 w - - 0 1", "k7/8/8/4N3/8/8/8/K7 w - - 0 1", GroupKnights, White,
         pack(15, 15)},
        // A black pawn on f6 could still chase it: no (5, 5) for that.
        {"k7/8/5p2/4N3/3P4/8/8/K7 w - - 0 1", "k7/8/5p2/4N3/8/8/8/K7 w - - 0 1", GroupKnights,
         White, pack(10, 10)},
        // Knight d6 forks the king e8 and the rook b7: (35, 35) on top of mobility.
        {"4k3/1r6/3N4/8/8/8/8/4K3 b - - 0 1", "4k3/r7/3N4/8/8/8/8/4K3 b - - 0 1", GroupKnights,
         White, pack(35, 35)},
        // Black king h8 without pawns: shelter 30 + 55 and a storm of 10 + 10 = 105. Queen c1
        // stays out of the zone; knight f5 (weight 10) and rook a7 (20) reach it. One piece
        // in the zone scores only the shelter; without a queen there is no attack at all.
        {"7k/R7/8/5N2/8/8/8/K1Q5 w - - 0 1", nullptr, GroupKingAttack, White,
         pack(128 * 30 / 256 + 105, 0)},
        {"7k/R7/8/8/8/8/8/K1Q5 w - - 0 1", nullptr, GroupKingAttack, White, pack(105, 0)},
        {"7k/R7/8/5N2/8/8/8/K7 w - - 0 1", nullptr, GroupKingAttack, White, 0},
        // a5 against the king on e5: the side to move decides the race.
        {"8/8/8/P3k3/8/8/8/K7 w - - 0 1", "8/8/8/P3k3/8/8/8/K7 b - - 0 1", GroupPassedPawns, White,
         pack(0, 560)},
        // A path blocked by own pieces does not stop the bonus against king and pawns:
        // unstoppable 560, enemy path free 6, path safe 20, rook pawn against no pieces 8.
        {"R7/N7/B7/P3k3/8/8/8/K7 w - - 0 1", nullptr, GroupPassedPawns, White,
         pack(0, 560 + 6 + 20 + 8)},
        // Own rook behind the e5 passer.
        {"k7/8/8/4P3/8/8/8/K3R3 w - - 0 1", "k7/8/8/4P3/8/8/8/K6R w - - 0 1", GroupPassedPawns,
         White, pack(20, 10)},
        // A trapped bishop counts once and only in the middle game.
        {"4k3/8/1p6/B7/8/8/8/4K3 w - - 0 1", nullptr, GroupPatterns, White, 0},
        {"4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1", nullptr, GroupPatterns, White, pack(-50, 0)},
        // A blocked bishop and a rook shut in by its king.
        {"4k3/8/8/8/8/3N4/3P4/2B1K3 w - - 0 1", nullptr, GroupPatterns, White, pack(-30, 0)},
        {"4k3/8/8/8/8/8/8/5KR1 w - - 0 1", nullptr, GroupPatterns, White, pack(-30, 0)},
    };
    for (const auto& c : cases) {
        const PackedScore base = c.without ? group(c.without, c.group, c.side) : 0;
        EXPECT_EQ(group(c.fen, c.group, c.side) - base, c.score) << c.fen;
    }
    EXPECT_EQ(probePawns(*positionFrom("7k/R7/8/5N2/8/8/8/K1Q5 w - - 0 1"), ToolEvalCaches.pawns)
                  .shelter[Black],
              105);
}

}  // namespace
