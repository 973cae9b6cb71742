#include "board/attacks.h"

#include <gtest/gtest.h>

#include "board/fen.h"
#include "board/movetext.h"
#include "board/squares.h"

namespace {

// A position ready for the legality and check tests: its own stack entry filled as the
// search fills it.
struct Prepared {
    Position p;
    SearchStackEntry entry;
};
Prepared& prepare(const char* fen) {
    static Prepared s;
    loadFen(s.p, fen);
    s.entry = SearchStackEntry{};
    s.p.stack = &s.entry;
    const Color us = Color(s.p.sideToMove);
    s.entry.inCheck = isSquareAttacked(s.p, s.p.kingSquare[us], us ^ 1);
    s.entry.pinned = pinnedPieces(s.p, us);
    return s;
}
Move word(int from, int to, int kind = KindNormal) {
    return makeMoveWord(from, to, kind);
}

TEST(Attacks, ARookAttacksAlongTheOpenFileOnly) {
    Position& p = prepare("4r2k/8/8/8/8/8/8/4K3 w - - 0 1").p;
    EXPECT_TRUE(isSquareAttacked(p, sq("e1"), Black));
    EXPECT_EQ(attackersTo(p, sq("e1"), Black), squares({"e8"}));
    Position& q = prepare("4r2k/8/8/8/8/8/4P3/4K3 w - - 0 1").p;
    EXPECT_FALSE(isSquareAttacked(q, sq("e1"), Black));
    EXPECT_EQ(attackersTo(q, sq("e1"), Black), 0u);
}

TEST(Attacks, AttackersOfEveryKindAreCollected) {
    Position& p = prepare("4k3/8/3n4/3p4/4K3/8/2b5/4r3 w - - 0 1").p;
    EXPECT_EQ(attackersTo(p, sq("e4"), Black), squares({"d6", "d5", "c2", "e1"}));
    EXPECT_EQ(attackersTo(p, sq("c4"), Black), squares({"d6", "d5"}));
    EXPECT_EQ(attackersTo(p, sq("d4"), Black), 0u);
    EXPECT_FALSE(isSquareAttacked(p, sq("d4"), Black));
    EXPECT_EQ(attackersTo(p, sq("d3"), White), squares({"e4"}));
}

TEST(Attacks, SliderAttackersSeeThroughRemovedPiecesOnly) {
    Position& p = prepare("4k3/8/8/8/8/4q3/4R3/4K3 w - - 0 1").p;
    const Bitboard occ = occupancy(p);
    EXPECT_EQ(sliderAttackersTo(p, occ, sq("e1"), Black), 0u);
    EXPECT_EQ(sliderAttackersTo(p, occ ^ squares({"e2"}), sq("e1"), Black), squares({"e3"}));
    EXPECT_EQ(sliderAttackersTo(p, occ ^ squares({"e2", "e3"}), sq("e1"), Black), 0u);
}

TEST(Pins, APieceAloneOnTheLineIsPinnedAndMovesOnlyAlongIt) {
    Prepared& s = prepare("4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
    EXPECT_EQ(s.entry.pinned, squares({"d2"}));
    EXPECT_TRUE(isLegal(s.p, word(sq("d2"), sq("c3"))));
    EXPECT_TRUE(isLegal(s.p, word(sq("d2"), sq("b4"))));
    EXPECT_FALSE(isLegal(s.p, word(sq("d2"), sq("e3"))));
    Prepared& t = prepare("4k3/8/8/8/1b6/2N5/3B4/4K3 w - - 0 1");
    EXPECT_EQ(t.entry.pinned, 0u);
    EXPECT_EQ(pinnedPieces(t.p, Black), 0u);
}

TEST(Legality, KingMovesIntoAttackAreIllegal) {
    Prepared& s = prepare("4k3/8/8/8/8/8/5r2/4K3 w - - 0 1");
    ASSERT_FALSE(s.entry.inCheck);
    EXPECT_TRUE(isLegal(s.p, word(sq("e1"), sq("d1"))));
    EXPECT_FALSE(isLegal(s.p, word(sq("e1"), sq("f1"))));
    EXPECT_FALSE(isLegal(s.p, word(sq("e1"), sq("d2"))));
    EXPECT_TRUE(isLegal(s.p, word(sq("e1"), sq("f2"))));
}

TEST(Legality, EnPassantThatOpensTheRankToTheKingIsIllegal) {
    Prepared& s = prepare("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    const Move ep = word(sq("e5"), sq("d6"), KindEnPassant);
    EXPECT_FALSE(isLegal(s.p, ep));
    Prepared& t = prepare("8/8/8/K2pP3/8/8/8/7k w - d6 0 1");
    EXPECT_TRUE(isLegal(t.p, ep));
}

TEST(Legality, InCheckEveryMoveIsTestedByMakingIt) {
    Prepared& s = prepare("4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1");
    ASSERT_TRUE(s.entry.inCheck);
    EXPECT_FALSE(isLegal(s.p, word(sq("a1"), sq("a2"))));
    EXPECT_TRUE(isLegal(s.p, word(sq("e1"), sq("e2"))));
    EXPECT_FALSE(isLegal(s.p, word(sq("e1"), sq("d2"))));
    EXPECT_EQ(s.p.board[sq("e2")], BlackRook) << "the position is left as it was";
}

TEST(Checks, CastlingChecksThroughTheRooksNewSquare) {
    Prepared& s = prepare("5k2/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_TRUE(givesCheck(s.p, 0x1184));
    Prepared& t = prepare("5k2/8/8/8/8/8/5P2/4K2R w K - 0 1");
    EXPECT_FALSE(givesCheck(t.p, 0x1184));
}

TEST(Checks, PromotionsAndDiscoveriesAreFound) {
    Prepared& s = prepare("8/4P3/3k4/8/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(givesCheck(s.p, word(sq("e7"), sq("e8"), WhiteKnight << 12)));
    EXPECT_FALSE(givesCheck(s.p, word(sq("e7"), sq("e8"), WhiteQueen << 12)));
    EXPECT_FALSE(givesCheck(s.p, word(sq("e7"), sq("e8"), WhiteRook << 12)));
    Prepared& t = prepare("4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1");
    EXPECT_TRUE(givesCheck(t.p, word(sq("e4"), sq("c3"))));
    EXPECT_TRUE(givesCheck(t.p, word(sq("e4"), sq("f6"))));
    Prepared& u = prepare("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_TRUE(givesCheck(u.p, word(sq("a1"), sq("a8"))));
    EXPECT_FALSE(givesCheck(u.p, word(sq("a1"), sq("a7"))));
}

TEST(Checks, EnPassantCanDiscoverACheck) {
    Prepared& s = prepare("8/8/8/1K1pP2k/8/8/8/8 w - d6 0 1");
    EXPECT_FALSE(givesCheck(s.p, word(sq("e5"), sq("d6"), KindEnPassant)));
    Prepared& t = prepare("8/8/8/R2pP2k/8/8/8/K7 w - d6 0 1");
    EXPECT_TRUE(givesCheck(t.p, word(sq("e5"), sq("d6"), KindEnPassant)));
}

}  // namespace
