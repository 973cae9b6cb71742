#include "board/movegen.h"
#include "board/positions.h"

namespace {

// Words the generators would not produce in these positions, next to the ones they would.
TEST(ValidMove, EachRuleOfMovementIsRequiredOfAStoredWord) {
    const char* const pawns = "1n2k3/P7/8/8/8/8/1p6/R3K3 w - - 0 1";
    const char* const blackPawn = "4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1";
    const char* const castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const char* const pieces = "4k3/8/8/3q4/8/8/1B6/R3K3 w - - 0 1";
    const Move shortCastle = word("e1g1", KindCastle), longCastle = word("e1c1", KindCastle);
    const struct {
        const char* fen;
        Move move;
        bool valid;
    } cases[] = {
        {StartFen, word("e2e4", KindDoublePush), true},
        {StartFen, word("e2e4"), false},
        {StartFen, word("e2e3"), true},
        {StartFen, word("g1f3"), true},
        {StartFen, word("f1c4"), false},
        {StartFen, shortCastle, false},
        {StartFen, word("e7e5", KindDoublePush), false},
        {StartFen, 0, false},
        {StartFen, word("h8h8"), false},
        {StartFen, word("e2e4", 14 << 12), false},
        // Pawns reach the last rank only by promoting, to a piece of their colour, and a
        // bishop of the square's colour.
        {pawns, word("a7b8"), false},
        {pawns, word("a7a8"), false},
        {pawns, word("a7b8", WhiteQueen << 12), true},
        {pawns, word("a7a8", WhiteKnight << 12), true},
        {pawns, word("a7b8", BlackQueen << 12), false},
        {pawns, word("a7a8", WhiteLightBishop << 12), true},
        {pawns, word("a7a8", WhiteDarkBishop << 12), false},
        {blackPawn, word("b2a1"), false},
        {blackPawn, word("b2c1"), false},
        {blackPawn, word("b2a1", BlackRook << 12), true},
        {blackPawn, word("b2c1", BlackQueen << 12), true},
        {blackPawn, word("b2b1", BlackKnight << 12), true},
        // A pawn capture changes the file by one; a2-h2 has its distance of 7.
        {"4k3/8/8/8/8/8/P6n/4K3 w - - 0 1", word("a2h2"), false},
        {"4k3/8/8/8/8/8/R6n/4K3 w - - 0 1", word("a2h2"), true},
        {"4k3/8/8/8/8/1n6/P7/4K3 w - - 0 1", word("a2b3"), true},
        // En passant needs the square and an adjacent pawn; a double push two empty squares
        // straight ahead.
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", word("e5d6", KindEnPassant), true},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", word("e5d6", KindEnPassant), false},
        {"4k3/8/8/p2pP3/8/8/8/4K3 w - d6 0 1", word("e5a6", KindEnPassant), false},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", word("e5d6"), false},
        {"4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1", word("e2e4", KindDoublePush), false},
        {"4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1", word("e2e4", KindDoublePush), false},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", word("e2h5", KindDoublePush), false},
        {"4k3/8/8/8/8/8/4N3/4K3 w - - 0 1", word("e2e4", KindDoublePush), false},
        // Castling needs the right, the rook, empty squares, a king not in check and safe
        // squares to cross (b1 may be attacked), and the king's own move.
        {castles, shortCastle, true},
        {castles, longCastle, true},
        {castles, word("e8g8", KindCastle), false},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", word("e8g8", KindCastle), true},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", word("e8c8", KindCastle), true},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", shortCastle, false},
        {"r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", shortCastle, false},
        {castles, word("a1g1", KindCastle), false},
        {castles, word("e1f1", KindCastle), false},
        {"r3kr2/8/8/8/8/8/8/R3K2R w KQkq - 0 1", shortCastle, false},
        {"r3k1r1/8/8/8/8/8/8/R3K2R w KQkq - 0 1", shortCastle, false},
        {"r2rk3/8/8/8/8/8/8/R3K2R w KQkq - 0 1", longCastle, false},
        {"rr2k3/8/8/8/8/8/8/R3K2R w KQkq - 0 1", longCastle, true},
        {"4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", longCastle, false},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", shortCastle, true},
        {"4k3/8/8/8/1b6/8/8/R3K2R w KQ - 0 1", shortCastle, false},
        // Pieces move by their own rules through empty squares and never take their own
        // pieces or a king; only the side to move moves.
        {pieces, word("b2d4"), true},
        {pieces, word("b2b4"), false},
        {pieces, word("a1e1"), false},
        {pieces, word("a1a8"), true},
        {pieces, word("b2e5"), true},
        {"4k3/8/8/3q4/3N4/8/1B6/R3K3 w - - 0 1", word("b2e5"), false},
        {"4k3/8/8/8/8/8/8/R3K2q b - - 0 1", word("h1e1"), false},
        {pieces, word("d5d1"), false},
        {pieces, word("e1f2"), true},
        {pieces, word("e1g1"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidMove(setUp(c.fen), c.move), c.valid) << c.fen << " " << std::hex << c.move;
}

}  // namespace
