#include "board/attacks.h"

#include "board/positions.h"

namespace {

TEST(Attacks, AttackersOfEveryKindAreCollectedAndBlockedSlidersLeftOut) {
    const struct {
        const char *fen, *square;
        Color by;
        const char* attackers;
    } cases[] = {
        {"4r2k/8/8/8/8/8/8/4K3 w - - 0 1", "e1", Black, "e8"},
        {"4r2k/8/8/8/8/8/4P3/4K3 w - - 0 1", "e1", Black, ""},
        {"4k3/8/3n4/3p4/4K3/8/2b5/4r3 w - - 0 1", "e4", Black, "d6 d5 c2 e1"},
        {"4k3/8/3n4/3p4/4K3/8/2b5/4r3 w - - 0 1", "c4", Black, "d6 d5"},
        {"4k3/8/3n4/3p4/4K3/8/2b5/4r3 w - - 0 1", "d4", Black, ""},
        {"4k3/8/3n4/3p4/4K3/8/2b5/4r3 w - - 0 1", "d3", White, "e4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " " + c.square);
        const Position& p = setUp(c.fen);
        EXPECT_EQ(attackersTo(p, sq(c.square), c.by), squares(c.attackers));
        EXPECT_EQ(isSquareAttacked(p, sq(c.square), c.by), squares(c.attackers) != 0);
    }
}

TEST(Attacks, SliderAttackersSeeThroughRemovedPiecesOnly) {
    const Position& p = setUp("4k3/8/8/8/8/4q3/4R3/4K3 w - - 0 1");
    const Bitboard occ = occupancy(p);
    EXPECT_EQ(sliderAttackersTo(p, occ, sq("e1"), Black), 0u);
    EXPECT_EQ(sliderAttackersTo(p, occ ^ squares("e2"), sq("e1"), Black), squares("e3"));
    EXPECT_EQ(sliderAttackersTo(p, occ ^ squares("e2 e3"), sq("e1"), Black), 0u);
}

TEST(Pins, APieceAloneOnTheLineIsPinned) {
    EXPECT_EQ(setUp("4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1").stack->pinned, squares("d2"));
    Position& p = setUp("4k3/8/8/8/1b6/2N5/3B4/4K3 w - - 0 1");
    EXPECT_EQ(p.stack->pinned, 0u);
    EXPECT_EQ(pinnedPieces(p, Black), 0u);
}

// Pinned pieces move only along the pin; the king steps onto no attacked square; en passant
// must not open a line to the king; in check every move is tried by making it.
TEST(Legality, PinsKingStepsEnPassantAndCheckEvasionsAreJudgedRight) {
    const struct {
        const char* fen;
        Move move;
        bool legal;
    } cases[] = {
        {"4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1", word("d2c3"), true},
        {"4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1", word("d2b4"), true},
        {"4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1", word("d2e3"), false},
        {"4k3/8/8/8/8/8/5r2/4K3 w - - 0 1", word("e1d1"), true},
        {"4k3/8/8/8/8/8/5r2/4K3 w - - 0 1", word("e1f1"), false},
        {"4k3/8/8/8/8/8/5r2/4K3 w - - 0 1", word("e1d2"), false},
        {"4k3/8/8/8/8/8/5r2/4K3 w - - 0 1", word("e1f2"), true},
        {"8/8/8/K2pP2r/8/8/8/7k w - d6 0 1", word("e5d6", KindEnPassant), false},
        {"8/8/8/K2pP3/8/8/8/7k w - d6 0 1", word("e5d6", KindEnPassant), true},
        {"4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1", word("a1a2"), false},
        {"4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1", word("e1e2"), true},
        {"4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1", word("e1d2"), false},
    };
    for (const auto& c : cases) {
        Position& p = setUp(c.fen);
        const uint64_t key = p.key;
        EXPECT_EQ(isLegal(p, c.move), c.legal) << c.fen << " " << std::hex << c.move;
        EXPECT_EQ(p.key, key) << "the position is left as it was";
    }
}

// Castling checks through the rook's new square, past the king's old one; promotions check
// with the new piece; moving off a line discovers the piece behind, en passant included.
TEST(Checks, DirectDiscoveredCastlingAndPromotionChecksAreFound) {
    const struct {
        const char* fen;
        Move move;
        bool check;
    } cases[] = {
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", word("e1g1", KindCastle), true},
        {"5k2/8/8/8/8/8/5P2/4K2R w K - 0 1", word("e1g1", KindCastle), false},
        {"8/8/8/8/8/8/8/R3K2k w Q - 0 1", word("e1c1", KindCastle), true},
        {"8/4P3/3k4/8/8/8/8/4K3 w - - 0 1", word("e7e8", WhiteKnight << 12), true},
        {"8/4P3/3k4/8/8/8/8/4K3 w - - 0 1", word("e7e8", WhiteQueen << 12), false},
        {"8/4P3/3k4/8/8/8/8/4K3 w - - 0 1", word("e7e8", WhiteRook << 12), false},
        {"4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1", word("e4c3"), true},
        {"4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1", word("e4f6"), true},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", word("a1a8"), true},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", word("a1a7"), false},
        {"8/8/8/1K1pP2k/8/8/8/8 w - d6 0 1", word("e5d6", KindEnPassant), false},
        {"8/8/8/R2pP2k/8/8/8/K7 w - d6 0 1", word("e5d6", KindEnPassant), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(givesCheck(setUp(c.fen), c.move), c.check) << c.fen << " " << std::hex << c.move;
}

}  // namespace
