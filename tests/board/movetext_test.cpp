#include "board/movetext.h"

#include <memory>
#include <string>

#include "board/positions.h"

namespace {

TEST(MoveText, WritesSquaresAndTheLowerCasePromotionLetter) {
    const struct {
        Move move;
        const char* text;
    } cases[] = {
        {word("e2e4", KindDoublePush), "e2e4"},
        {word("e1g1", KindCastle), "e1g1"},
        {0, "a1a1"},
        {word("h8h8"), "h8h8"},
        {word("e7e8", WhiteQueen << 12), "e7e8q"},
        {word("b2a1", BlackKnight << 12), "b2a1n"},
        {word("b7b8", WhiteDarkBishop << 12), "b7b8b"},
        {word("b2b1", BlackRook << 12), "b2b1r"},
        {word("a1b1", 15 << 12), "a1b1"},
    };
    for (const auto& c : cases) EXPECT_STREQ(moveToText(c.move), c.text);
}

// Only a move the position generates is read, with its kind; a promotion needs its letter in
// either case; only the first move of the text counts, and a letter after a non-promotion is
// ignored.
TEST(MoveText, ReadsTheGeneratedMoveWithItsKindOrNoMove) {
    const char* const promotions = "1n2k3/1P5P/8/8/8/8/8/4K3 w - - 0 1";
    const struct {
        const char *fen, *text;
        Move expected;
    } cases[] = {
        {StartFen, "e2e4", word("e2e4", KindDoublePush)},
        {StartFen, "g1f3", word("g1f3")},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", word("e1g1", KindCastle)},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", word("e5d6", KindEnPassant)},
        {promotions, "h7h8Q", word("h7h8", WhiteQueen << 12)},
        {promotions, "h7h8q", word("h7h8", WhiteQueen << 12)},
        {promotions, "h7h8b", word("h7h8", WhiteDarkBishop << 12)},
        {promotions, "h7h8", 0},
        {promotions, "h7h8x", 0},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8b", word("a7a8", WhiteLightBishop << 12)},
        {"4k3/8/8/8/8/8/6p1/4K3 b - - 0 1", "g2g1N", word("g2g1", BlackKnight << 12)},
        {StartFen, "e2e5", 0},
        {StartFen, "e7e5", 0},  // Black's move with White to move
        {StartFen, "e2e", 0},
        {StartFen, "", 0},
        {StartFen, "0000", 0},
        {StartFen, "zz99", 0},
        {StartFen, "e2e4 e7e5", word("e2e4", KindDoublePush)},
        {StartFen, "e2e4q", word("e2e4", KindDoublePush)},
    };
    for (const auto& c : cases) EXPECT_EQ(textToMove(setUp(c.fen), c.text), c.expected) << c.text;
    EXPECT_EQ(textToMove(setUp(StartFen), nullptr), 0);
}

TEST(MoveText, ReadsNoFurtherThanTheEndOfAShortText) {
    Position& p = setUp(StartFen);
    // Exactly sized buffers without room beyond the text: a memory checker sees overreads.
    for (const std::string t : {"e", "e2", "e2e", "e2e4"}) {
        std::unique_ptr<char[]> exact(new char[t.size() + 1]);
        std::copy(t.c_str(), t.c_str() + t.size() + 1, exact.get());
        EXPECT_EQ(textToMove(p, exact.get()), t.size() == 4 ? word("e2e4", KindDoublePush) : 0)
            << t;
    }
}

}  // namespace
