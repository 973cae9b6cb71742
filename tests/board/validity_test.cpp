#include "board/movegen.h"
#include "board/positions.h"

namespace {

// Words that the validity test must judge on rules the suite's root positions (where valid
// means generated, word for word) do not exercise.
TEST(ValidMove, RulesTheSuitePositionsLeaveOutAreStillRequired) {
    const char* const castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const Move shortCastle = word("e1g1", KindCastle), longCastle = word("e1c1", KindCastle);
    const struct {
        const char* fen;
        Move move;
        bool valid;
    } cases[] = {
        // A pawn capture changes the file by one; a2-h2 has its distance of 7.
        {"4k3/8/8/8/8/8/P6n/4K3 w - - 0 1", word("a2h2"), false},
        {"4k3/8/8/8/8/8/R6n/4K3 w - - 0 1", word("a2h2"), true},
        {"4k3/8/8/8/8/1n6/P7/4K3 w - - 0 1", word("a2b3"), true},
        // A double push needs both squares ahead empty.
        {"4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1", word("e2e4", KindDoublePush), false},
        // Castling needs the right, the rook, an empty path, a king not in check, and the
        // squares the king crosses safe (b1 may be attacked).
        {castles, shortCastle, true},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", shortCastle, false},
        {"r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", shortCastle, false},
        {"rr2k3/8/8/8/8/8/8/R3K2R w KQkq - 0 1", longCastle, true},
        {"4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", longCastle, false},
        {"4k3/8/8/8/1b6/8/8/R3K2R w KQ - 0 1", shortCastle, false},
        // Never a king capture, even where the position lets a piece reach one.
        {"4k3/8/8/8/8/8/8/R3K2q b - - 0 1", word("h1e1"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidMove(setUp(c.fen), c.move), c.valid) << c.fen << " " << std::hex << c.move;
}

}  // namespace
