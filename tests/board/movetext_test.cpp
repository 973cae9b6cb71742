#include "board/movetext.h"

#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/squares.h"

namespace {

Position& positionOf(const char* fen) {
    static Position p;
    loadFen(p, fen);
    return p;
}

TEST(MoveText, WritesSquaresAndTheLowerCasePromotionLetter) {
    EXPECT_STREQ(moveToText(0x370C), "e2e4");
    EXPECT_STREQ(moveToText(0x1184), "e1g1");
    EXPECT_STREQ(moveToText(0), "a1a1");
    EXPECT_STREQ(moveToText(0x0FFF), "h8h8");
    EXPECT_STREQ(moveToText(makeMoveWord(sq("e7"), sq("e8"), WhiteQueen << 12)), "e7e8q");
    EXPECT_STREQ(moveToText(makeMoveWord(sq("b2"), sq("a1"), BlackKnight << 12)), "b2a1n");
    EXPECT_STREQ(moveToText(makeMoveWord(sq("b7"), sq("b8"), WhiteDarkBishop << 12)), "b7b8b");
    EXPECT_STREQ(moveToText(makeMoveWord(sq("b2"), sq("b1"), BlackRook << 12)), "b2b1r");
    EXPECT_STREQ(moveToText(makeMoveWord(sq("a1"), sq("b1"), 15 << 12)), "a1b1");
}

TEST(MoveText, ReadsTheGeneratedMoveWithItsKind) {
    EXPECT_EQ(textToMove(positionOf(StartFen), "e2e4"), 0x370C);
    EXPECT_EQ(textToMove(positionOf(StartFen), "g1f3"), makeMoveWord(sq("g1"), sq("f3")));
    EXPECT_EQ(textToMove(positionOf("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), "e1g1"), 0x1184);
    EXPECT_EQ(moveKind(textToMove(positionOf("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"), "e5d6")),
              KindEnPassant);
}

TEST(MoveText, PromotionsNeedTheirLetterInEitherCase) {
    const char* fen = "1n2k3/1P5P/8/8/8/8/8/4K3 w - - 0 1";
    EXPECT_EQ(promotionPiece(textToMove(positionOf(fen), "h7h8Q")), WhiteQueen);
    EXPECT_EQ(promotionPiece(textToMove(positionOf(fen), "h7h8q")), WhiteQueen);
    EXPECT_EQ(textToMove(positionOf(fen), "h7h8"), 0);
    EXPECT_EQ(textToMove(positionOf(fen), "h7h8x"), 0);
    EXPECT_EQ(promotionPiece(textToMove(positionOf(fen), "h7h8b")), WhiteDarkBishop);
    EXPECT_EQ(promotionPiece(textToMove(positionOf("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"), "a7a8b")),
              WhiteLightBishop);
    EXPECT_EQ(promotionPiece(textToMove(positionOf("4k3/8/8/8/8/8/6p1/4K3 b - - 0 1"), "g2g1N")),
              BlackKnight);
}

TEST(MoveText, NonMatchingOrShortTextGivesNoMove) {
    Position& p = positionOf(StartFen);
    EXPECT_EQ(textToMove(p, "e2e5"), 0);
    EXPECT_EQ(textToMove(p, "e7e5"), 0) << "Black's move with White to move";
    EXPECT_EQ(textToMove(p, "e2e"), 0);
    EXPECT_EQ(textToMove(p, ""), 0);
    EXPECT_EQ(textToMove(p, "0000"), 0);
    EXPECT_EQ(textToMove(p, "zz99"), 0);
    EXPECT_EQ(textToMove(p, nullptr), 0);
    EXPECT_EQ(textToMove(p, "e2e4 e7e5"), 0x370C) << "only the first move text is read";
    EXPECT_EQ(textToMove(p, "e2e4q"), 0x370C) << "a letter after a non-promotion is ignored";
}

TEST(MoveText, ReadsNoFurtherThanTheEndOfAShortText) {
    Position& p = positionOf(StartFen);
    // Exactly sized buffers without room beyond the text: a memory checker sees overreads.
    const std::string texts[] = {"e", "e2", "e2e", "e2e4"};
    for (const std::string& t : texts) {
        char* exact = new char[t.size() + 1];
        std::copy(t.begin(), t.end(), exact);
        exact[t.size()] = 0;
        EXPECT_EQ(textToMove(p, exact), t.size() == 4 ? Move(0x370C) : Move(0)) << t;
        delete[] exact;
    }
}

}  // namespace
