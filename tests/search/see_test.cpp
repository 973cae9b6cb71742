#include "search/see.h"

#include <gtest/gtest.h>

#include "search_support.h"

namespace {

TEST(StaticExchange, EachExchangeWinsWhatTheRecapturesLeave) {
    const struct {
        const char *fen, *move;
        int value;
    } cases[] = {
        // A pawn takes a defended knight; a queen a pawn defended by a pawn; a rook an
        // undefended pawn.
        {"4k3/8/3p4/4n3/3P4/8/8/4K3 w - - 0 1", "d4e5", 300},
        {"4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", "d2d5", -900},
        {"4k3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5", 100},
        // A rook behind the capturing rook joins; without it the recapture costs the rook.
        {"4k3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 100},
        {"4k3/3r4/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5", -400},
        // exd5 cxd5 Bxd5: the bishop sees d5 only once the e4 pawn has left.
        {"4k3/8/2p5/3p4/4P3/5B2/8/4K3 w - - 0 1", "e4d5", 100},
        {"4k3/8/2p5/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0},
        // Castling is worth nothing, en passant a pawn.
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0},
        {"4k3/2p5/8/3Pp3/8/8/8/4K3 w - e6 0 1", "d5e6", 100},
        // A quiet move is free on a safe square and loses the piece on a guarded one.
        {"4k3/8/2p5/8/8/8/8/3NK3 w - - 0 1", "d1b2", 0},
        {"4k3/8/2p5/8/5N2/8/8/4K3 w - - 0 1", "f4d5", -300},
    };
    for (const auto& c : cases) {
        Position& p = setUp(c.fen);
        const Move m = textToMove(p, c.move);
        ASSERT_NE(m, 0) << c.move;
        EXPECT_EQ(StaticExchange(p, m), c.value) << c.fen << " " << c.move;
    }
}

}  // namespace
