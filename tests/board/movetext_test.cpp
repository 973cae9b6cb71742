#include "board/movetext.h"

#include <memory>
#include <string>

#include "board/positions.h"

namespace {

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
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", word("e1g1", KindCastle)},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", word("e5d6", KindEnPassant)},
        {promotions, "h7h8Q", word("h7h8", WhiteQueen << 12)},
        {promotions, "h7h8", 0},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8b", word("a7a8", WhiteLightBishop << 12)},
        {"4k3/8/8/8/8/8/6p1/4K3 b - - 0 1", "g2g1N", word("g2g1", BlackKnight << 12)},
        {StartFen, "e7e5", 0},  // Black's move with White to move
        {StartFen, "e2e4 e7e5", word("e2e4", KindDoublePush)},
        {StartFen, "e2e4q", word("e2e4", KindDoublePush)},
    };
    for (const auto& c : cases) EXPECT_EQ(textToMove(setUp(c.fen), c.text), c.expected) << c.text;
    EXPECT_EQ(textToMove(setUp(StartFen), nullptr), 0);
    // Exactly sized buffers without room beyond the text: a memory checker sees overreads.
    for (const std::string t : {"", "e", "e2", "e2e", "0000"}) {
        std::unique_ptr<char[]> exact(new char[t.size() + 1]);
        std::copy(t.c_str(), t.c_str() + t.size() + 1, exact.get());
        EXPECT_EQ(textToMove(setUp(StartFen), exact.get()), 0) << t;
    }
}

}  // namespace
