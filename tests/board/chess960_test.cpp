// Chess960 on the board: castling fields with rook files, the rook squares a position keeps,
// their keys, castling from any start, and the text of such castlings.
#include <cstring>
#include <set>
#include <string>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "board/positions.h"

namespace {

std::vector<Move> castlings(Position& p) {
    MoveList l;
    clearList(l);
    generateMoves(GenQuiets, p, l);
    std::vector<Move> found;
    for (int i = 0; i < l.count; ++i)
        if (moveKind(l.moveWords[i]) == KindCastle) found.push_back(l.moveWords[i]);
    return found;
}

// Rights, then the four rook squares (corners where a right is absent).
std::string rightsAndRooks(const Position& p) {
    std::string s = std::to_string(p.castleRights);
    for (int r = 0; r < 4; ++r) {
        const int rook = p.castleRooks.square[r];
        s += std::string(" ") + char('a' + fileOf(rook)) + char('1' + rankOf(rook));
    }
    return s;
}

// Shredder letters, X-FEN's K/Q for the outermost rook and its letters for an inner one,
// all reach the same rights and rooks; the fields after the castling field are still read.
TEST(Chess960Fen, ShredderAndXFenFieldsNameTheRooksAndTheLaterFieldsFollow) {
    const std::string board = "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w ";
    const struct {
        const char* field;
        const char* expected;
    } cases[] = {
        {"GBgb", "15 g1 b1 g8 b8"}, {"KQkq", "15 g1 b1 g8 b8"}, {"BGbg", "15 g1 b1 g8 b8"},
        {"Gg", "5 g1 a1 g8 a8"},    {"Kb", "9 g1 a1 h8 b8"},    {"Q", "2 h1 b1 h8 a8"},
        {"GgA", "5 g1 a1 g8 a8"},  // no rook on a1: that letter is dropped
        {"GGg", "5 g1 a1 g8 a8"},  // a second letter for a right changes nothing
    };
    for (const auto& c : cases) {
        const std::string fen = board + c.field + " - 7 20";
        const Position& p = setUp(fen.c_str());
        EXPECT_EQ(rightsAndRooks(p), c.expected) << fen;
        EXPECT_EQ(p.rule50, 7) << fen;
        EXPECT_EQ(p.sideToMove, uint32_t(White)) << fen;
    }
    // The en-passant field after a Shredder field.
    const Position& ep = setUp("rk5r/8/8/8/4P3/8/8/RK5R b HAha e3 3 9");
    EXPECT_EQ(std::make_tuple(ep.castleRights, ep.epSquare, ep.rule50),
              std::make_tuple(uint8_t(15), uint32_t(sq("e3")), uint8_t(3)));
}

// A 960 right needs its king on the first rank and its rook on that file; the standard
// letters keep their bits as before, their rook on the corner when no rook stands there.
TEST(Chess960Fen, RightsWithoutKingOrRookOnTheFirstRankAreDropped) {
    const struct {
        const char *fen, *expected;
    } cases[] = {
        {"4k3/8/8/8/8/8/4K3/5R1R w HF - 0 1", "0 h1 a1 h8 a8"},         // king off its rank
        {"4k3/8/8/8/8/8/8/1K3R2 w GA - 0 1", "0 h1 a1 h8 a8"},          // no rook on g1 or a1
        {"4k3/8/8/8/8/8/8/1K3R2 w F - 0 1", "1 f1 a1 h8 a8"},           // the f1 rook
        {"4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", "15 h1 a1 h8 a8"},         // as before: kept, unused
        {"4k3/8/8/8/8/8/8/4K3 w kK - 0 1", "0 h1 a1 h8 a8"},            // out of order: none
        {"4k3/8/8/8/8/8/8/R3K2R w HAHAHAHAHA - 0 1", "0 h1 a1 h8 a8"},  // too long: no field
        {"4k3/8/8/8/8/8/8/R3K2R w H?A - 0 1", "0 h1 a1 h8 a8"},         // a foreign character
        {"4k3/8/8/8/8/8/8/4K3 w HAha", "0 h1 a1 h8 a8"},                // ends after the field
    };
    for (const auto& c : cases) {
        const Position& p = setUp(c.fen);
        EXPECT_EQ(rightsAndRooks(p), c.expected) << c.fen;
        if (p.castleRights == 0 || p.bitboards[WhiteRook] == 0) {
            EXPECT_TRUE(castlings(const_cast<Position&>(p)).empty()) << c.fen;
        }
    }
    // A rook square that cannot be its right's (a record filled by hand) means the corner.
    static Position hand;
    std::memset(&hand, 0, sizeof hand);
    parseFen(hand, "r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1");
    hand.castleRights = 15;
    hand.castleRooks.square[0] = 0;
    hand.castleRooks.square[2] = 5;
    derivePosition(hand);
    EXPECT_EQ(rightsAndRooks(hand), "15 h1 a1 h8 a8");
}

// K, Q, k and q name the outermost rook on their side when two stand there: with the inner
// rook between, castling with the outer one is blocked, and the position has exactly the moves
// it has without the right.
TEST(Chess960Fen, StandardLettersNameTheOutermostOfTwoRooksOnTheirSide) {
    const struct {
        const char *board, *side, *field, *rooks;
        int moves;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/RR2K3", "w", "Q", "2 h1 a1 h8 a8", 21},
        {"4k3/8/8/8/8/8/8/4KR1R", "w", "K", "1 h1 a1 h8 a8", 20},
        {"rr2k3/8/8/8/8/8/8/4K3", "b", "q", "8 h1 a1 h8 a8", 21},
        {"4kr1r/8/8/8/8/8/8/4K3", "b", "k", "4 h1 a1 h8 a8", 20},
    };
    for (const auto& c : cases) {
        const std::string fen = std::string(c.board) + " " + c.side + " " + c.field + " - 0 1";
        Position& p = setUp(fen.c_str());
        EXPECT_EQ(rightsAndRooks(p), c.rooks) << fen;
        EXPECT_TRUE(castlings(p).empty()) << fen;
        MoveList legal;
        generateLegalMoves(p, legal);
        EXPECT_EQ(legal.count, c.moves) << fen;
        const std::string without = std::string(c.board) + " " + c.side + " - - 0 1";
        MoveList none;
        generateLegalMoves(setUp(without.c_str()), none);
        EXPECT_EQ(none.count, c.moves) << without;
    }
}

// Standard positions keep their keys; rights naming other rooks change the key.
TEST(Chess960Keys, RightsNamingOtherRooksGetOtherKeysAndCornersKeepTheOldOnes) {
    const Position& standard = setUp("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const uint64_t standardKey = standard.key;
    EXPECT_EQ(setUp("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1").key, standardKey);
    uint64_t pieces = 0;
    for (int s = 0; s < 64; ++s)
        if (standard.board[s]) pieces ^= PieceKey[standard.board[s]][s];
    EXPECT_EQ(standardKey, pieces ^ CastleKey[15] ^ EpKey[NoSquare] ^ SideKey[White]);

    // Same pieces, same rights bits, different rooks: every key differs.
    std::set<uint64_t> keys;
    for (const char* field : {"Kk", "Gk", "Kg", "Gg", "Kb", "Gb"})
        keys.insert(
            setUp((std::string("1r2k1rr/8/8/8/8/8/8/1R2K1RR w ") + field + " - 0 1").c_str()).key);
    EXPECT_EQ(keys.size(), 6u);
}

// The rules of a castling from any start, each case against the moves it must produce.
TEST(Chess960Castling, KingAndRookMayStartAnywhereAndEndOnTheStandardSquares) {
    const struct {
        const char *fen, *moves;  // the castlings as king-takes-rook text, in order
    } cases[] = {
        // King already on g1: only the rook moves; the f1 rook blocks the h1 rook's way.
        {"4k3/8/8/8/8/8/8/6KR w H - 0 1", "g1h1"},
        {"4k3/8/8/8/8/8/8/5RKR w HF - 0 1", "g1f1"},
        // Rook already on d1 for the long castling: only the king moves.
        {"4k3/8/8/8/8/8/8/3RK3 w D - 0 1", "e1d1"},
        // The rook right of a king on c1 is the short castling's, wherever it stands.
        {"4k3/8/8/8/8/8/8/2KR4 w D - 0 1", "c1d1"},
        // King on f1 with the rook on g1: they trade squares.
        {"4k3/8/8/8/8/8/8/5KR1 w G - 0 1", "f1g1"},
        // A black rook behind the castling rook attacks the king's path once the rook is gone.
        {"4k3/8/8/8/8/8/8/rR1K4 w B - 0 1", ""},
        {"4k3/8/8/8/8/8/8/1R1K4 w B - 0 1", "d1b1"},
        // A piece on a square of the rook's way; one on the king's way.
        {"4k3/8/8/8/8/8/8/RK1N4 w A - 0 1", ""},
        {"4k3/8/8/8/8/8/8/1K2N2R w H - 0 1", ""},
        // A square the king crosses is attacked; the rook's own path may be.
        {"4k3/8/8/8/8/8/4r3/1K5R w H - 0 1", ""},
        {"4k3/8/8/8/8/8/8/R2K4 w A - 0 1", "d1a1"},
        {"4k3/8/8/8/8/8/1r6/R2K4 w A - 0 1", "d1a1"},
        // Both sides, Black's mirrored.
        {"1r4kr/8/8/8/8/8/8/4K3 b hb - 0 1", "g8h8 g8b8"},
    };
    for (const auto& c : cases) {
        Position& p = setUp(c.fen);
        std::string texts;
        for (Move m : castlings(p)) {
            EXPECT_TRUE(isValidMove(p, m)) << c.fen;
            EXPECT_TRUE(isLegal(p, m)) << c.fen;
            texts += (texts.empty() ? "" : " ") + std::string(moveToText(p, m, true));
        }
        EXPECT_EQ(texts, c.moves) << c.fen;
    }
}

// Castling makes the board its FEN names, keeps the fifty-move count going, and unmakes.
TEST(Chess960Castling, MakingACastlingLeavesThePositionItsFenDescribes) {
    const struct {
        const char *before, *text, *after;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/5KR1 w G - 4 1", "f1g1", "4k3/8/8/8/8/8/8/5RK1 b - - 5 1"},
        {"4k3/8/8/8/8/8/8/2KR4 w D - 4 1", "c1d1", "4k3/8/8/8/8/8/8/5RK1 b - - 5 1"},
        {"4k3/8/8/8/8/8/8/3RK3 w D - 4 1", "e1d1", "4k3/8/8/8/8/8/8/2KR4 b - - 5 1"},
        {"4k3/8/8/8/8/8/8/6KR w H - 0 1", "g1h1", "4k3/8/8/8/8/8/8/5RK1 b - - 1 1"},
        {"4k3/8/8/8/8/8/8/5RKR w HF - 0 1", "g1f1", "4k3/8/8/8/8/8/8/2KR3R b - - 1 1"},
        {"rk5r/8/8/8/8/8/8/4K3 b ha - 0 1", "b8a8", "2kr3r/8/8/8/8/8/8/4K3 w - - 1 2"},
    };
    for (const auto& c : cases) {
        Position& p = setUp(c.before);
        const Position before = p;
        const Move m = textToMove(p, c.text, true);
        ASSERT_EQ(moveKind(m), KindCastle) << c.before;
        UndoInfo undo;
        makeMove(p, undo, m);
        static Position expected;
        loadFen(expected, c.after);
        EXPECT_EQ(0, std::memcmp(p.board, expected.board, sizeof p.board)) << c.before;
        EXPECT_EQ(std::make_tuple(p.key, p.castleRights, p.rule50),
                  std::make_tuple(expected.key, expected.castleRights, expected.rule50))
            << c.before;
        unmakeMove(p, undo, m);
        EXPECT_EQ(0, std::memcmp(p.board, before.board, sizeof p.board)) << c.before;
        EXPECT_EQ(std::make_tuple(p.key, p.castleRights, p.rule50, p.bitboards[White]),
                  std::make_tuple(before.key, before.castleRights, before.rule50,
                                  before.bitboards[White]))
            << c.before;
    }
}

// With the option a castling is only the king taking its rook; without it a standard
// castling is the king's move, and other castlings the king taking its rook, both read.
TEST(Chess960MoveText, CastlingIsWrittenAndReadInTheFormTheOptionAsks) {
    Position& standard = setUp("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const Move shortCastle = word("e1g1", KindCastle), longCastle = word("e1c1", KindCastle);
    EXPECT_STREQ(moveToText(standard, shortCastle, false), "e1g1");
    EXPECT_STREQ(moveToText(standard, longCastle, true), "e1a1");
    EXPECT_EQ(textToMove(standard, "e1g1", false), shortCastle);
    EXPECT_EQ(textToMove(standard, "e1h1", false), shortCastle);
    EXPECT_EQ(textToMove(standard, "e1h1", true), shortCastle);
    EXPECT_EQ(textToMove(standard, "e1g1", true), 0);

    // King on f1, rook on h1: f1g1 is the king's step; the castling is f1h1 in both modes.
    Position& p = setUp("4k3/8/8/8/8/8/8/5K1R w H - 0 1");
    EXPECT_EQ(textToMove(p, "f1g1", false), word("f1g1"));
    EXPECT_EQ(textToMove(p, "f1g1", true), word("f1g1"));
    EXPECT_EQ(textToMove(p, "f1h1", false), word("f1g1", KindCastle));
    EXPECT_EQ(textToMove(p, "f1h1", true), word("f1g1", KindCastle));
    EXPECT_STREQ(moveToText(p, word("f1g1", KindCastle), false), "f1h1");

    // A castling whose king does not move: its text is still the king taking its rook.
    Position& still = setUp("4k3/8/8/8/8/8/8/6KR w H - 0 1");
    EXPECT_STREQ(moveToText(still, word("g1g1", KindCastle), true), "g1h1");
    EXPECT_EQ(textToMove(still, "g1h1", true), word("g1g1", KindCastle));
}

}  // namespace
