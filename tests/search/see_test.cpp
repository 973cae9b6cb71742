#include "search/see.h"

#include <gtest/gtest.h>

#include "search_support.h"

namespace {

int exchange(const char* fen, const char* move) {
    Position& p = positionFromFen(fen);
    const Move m = textToMove(p, move);
    EXPECT_NE(m, 0) << move;
    return StaticExchange(p, m);
}

TEST(StaticExchange, PawnTakingADefendedKnightWinsTheKnight) {
    EXPECT_EQ(exchange("4k3/8/3p4/4n3/3P4/8/8/4K3 w - - 0 1", "d4e5"), 300);
}

TEST(StaticExchange, QueenTakingAPawnDefendedByAPawnLosesTheQueenForThePawn) {
    EXPECT_EQ(exchange("4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", "d2d5"), -900);
}

TEST(StaticExchange, RookTakingAnUndefendedPawnWinsThePawn) {
    EXPECT_EQ(exchange("4k3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5"), 100);
}

TEST(StaticExchange, RookBehindTheCapturingRookJoinsTheExchange) {
    // Without the second rook the defender's recapture would cost the first rook.
    EXPECT_EQ(exchange("4k3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), 100);
    EXPECT_EQ(exchange("4k3/3r4/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5"), -400);
}

TEST(StaticExchange, BishopBehindTheCapturingPawnJoinsTheExchange) {
    // exd5 cxd5 Bxd5: the bishop sees d5 only once the e4 pawn has left.
    EXPECT_EQ(exchange("4k3/8/2p5/3p4/4P3/5B2/8/4K3 w - - 0 1", "e4d5"), 100);
    EXPECT_EQ(exchange("4k3/8/2p5/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5"), 0);
}

TEST(StaticExchange, CastlingIsWorthNothingAndEnPassantAPawn) {
    EXPECT_EQ(exchange("4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1"), 0);
    EXPECT_EQ(exchange("4k3/2p5/8/3Pp3/8/8/8/4K3 w - e6 0 1", "d5e6"), 100);
}

TEST(StaticExchange, QuietMoveIsFreeOnASafeSquareAndLosesThePieceOnAGuardedOne) {
    EXPECT_EQ(exchange("4k3/8/2p5/8/8/8/8/3NK3 w - - 0 1", "d1b2"), 0);
    EXPECT_EQ(exchange("4k3/8/2p5/8/5N2/8/8/4K3 w - - 0 1", "f4d5"), -300);
}

}  // namespace
