#include "board/attacks.h"

#include "board/positions.h"

namespace {

// Attack sets, pins and legality are proved by the perft suite; the check test is not (the
// suite walk compares it with the quiet-check generator for quiet moves only). Castling checks
// through the rook's new square, past the king's old one; promotions check with the new piece;
// moving off a line discovers the piece behind, en passant included.
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
        {"4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1", word("e4c3"), true},
        {"4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1", word("e4f6"), true},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", word("a1a8"), true},
        {"8/8/8/1K1pP2k/8/8/8/8 w - d6 0 1", word("e5d6", KindEnPassant), false},
        {"8/8/8/R2pP2k/8/8/8/K7 w - d6 0 1", word("e5d6", KindEnPassant), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(givesCheck(setUp(c.fen), c.move), c.check) << c.fen << " " << std::hex << c.move;
}

}  // namespace
