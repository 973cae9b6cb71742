#include "board/fen.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "board/positions.h"

namespace {

// Invariants that every table read relies on, whatever text the position came from.
void expectSafeToIndex(const Position& p, const std::string& text) {
    SCOPED_TRACE(text.substr(0, 100));
    for (Color c : {White, Black}) EXPECT_TRUE(p.kingSquare[c] >= 0 && p.kingSquare[c] < 64);
    EXPECT_TRUE(p.epSquare == NoSquare || (p.epSquare >= 16 && p.epSquare < 24) ||
                (p.epSquare >= 40 && p.epSquare < 48));
    EXPECT_LE(p.sideToMove, 1u);
    EXPECT_LE(p.castleRights, 15);
    EXPECT_EQ(p.keyCount, 1);
    for (int s = 0; s < 64; ++s)
        EXPECT_TRUE(p.board[s] == Empty || (p.board[s] >= WhitePawn && p.board[s] <= BlackKing));
}

TEST(Fen, StartPositionFillsEveryField) {
    const Position& p = setUp(StartFen);
    EXPECT_EQ(std::make_tuple(p.board[sq("c1")], p.board[sq("f1")], p.board[sq("c8")],
                              p.board[sq("f8")], p.board[sq("e1")], p.board[sq("e8")]),
              std::make_tuple(WhiteDarkBishop, WhiteLightBishop, BlackLightBishop, BlackDarkBishop,
                              WhiteKing, BlackKing));
    EXPECT_EQ(std::make_tuple(p.castleRights, p.epSquare, p.rule50, p.sideToMove, p.kingSquare[0],
                              p.kingSquare[1], p.keyCount, p.keyHistory[0]),
              std::make_tuple(15, 64u, 0, 0u, sq("e1"), sq("e8"), 1, p.key));
    EXPECT_EQ(p.bitboards[White], 0xFFFFull);
    EXPECT_TRUE(isSearchable(p));
}

TEST(Fen, EachCastlingPatternGivesItsRightsAndTheFieldsAfterItFollow) {
    const struct {
        const char* field;
        int rights;
    } cases[] = {{"KQkq", 15}, {"K", 1},    {"Q", 2},    {"k", 4},   {"q", 8},   {"KQ", 3},
                 {"Kk", 5},    {"Kq", 9},   {"Qk", 6},   {"Qq", 10}, {"kq", 12}, {"KQk", 7},
                 {"KQq", 11},  {"Kkq", 13}, {"Qkq", 14}, {"-", 0}};
    static Position p;
    for (const auto& c : cases) {
        const std::string fen = std::string("r3k2r/8/8/8/4P3/8/8/R3K2R b ") + c.field + " e3 17 40";
        std::memset(&p, 0, sizeof p);
        parseFen(p, fen.c_str());
        EXPECT_EQ(p.castleRights, c.rights) << fen;
        EXPECT_EQ(p.epSquare, uint32_t(sq("e3"))) << fen;
        EXPECT_EQ(p.rule50, 17) << fen;
    }
    // Letters out of order give no rights and shift the fields: the en-passant field is read
    // from "kK" (no square), the half-move counter from "37".
    std::memset(&p, 0, sizeof p);
    parseFen(p, "r3k2r/8/8/8/8/8/8/R3K2R w kK 37 5");
    EXPECT_EQ(p.castleRights, 0);
    EXPECT_EQ(p.epSquare, uint32_t(NoSquare));
    EXPECT_EQ(p.rule50, 37);
}

TEST(Fen, EnPassantSquareIsKeptOnlyWhenADoublePushExplainsIt) {
    const struct {
        const char* fen;
        int ep;
    } cases[] = {
        {"4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", sq("e3")},
        {"4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1", NoSquare},    // wrong side to move
        {"4k3/8/8/8/8/8/8/4K3 b - e3 0 1", NoSquare},      // no pawn in front
        {"4k3/8/8/8/4P3/4n3/8/4K3 b - e3 0 1", NoSquare},  // square occupied
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", sq("d6")},
    };
    for (const auto& c : cases) EXPECT_EQ(setUp(c.fen).epSquare, uint32_t(c.ep)) << c.fen;
    for (const char* field : {"e4", "z9", "a0", "h9", "~~", "e", "-x"}) {
        const std::string fen = std::string("4k3/8/8/3pP3/8/8/8/4K3 w - ") + field + " 0 1";
        const Position& p = setUp(fen.c_str());
        EXPECT_EQ(p.epSquare, uint32_t(NoSquare)) << fen;
        expectSafeToIndex(p, fen);
    }
}

TEST(Fen, HalfMoveCounterIsReadLikeANumberAndKeptInEightBits) {
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - - 120 1").rule50, 120);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - -").rule50, 0);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - - 300 1").rule50, 300 % 256);
    expectSafeToIndex(setUp("4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999999 1"), "long");
}

TEST(Fen, CharactersThatAreNoPieceTakeNoSquare) {
    static Position a, b;
    loadFen(a, "4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    loadFen(b, "4k3/8/8x/8/98/8/80/4K2R w K - 0 1");
    EXPECT_EQ(0, std::memcmp(a.board, b.board, sizeof a.board));
    EXPECT_EQ(a.key, b.key);
}

TEST(Fen, EmptyTextOrLeadingBlankGivesAnEmptyBoard) {
    for (const char* text :
         {"", " ", "  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"}) {
        const Position& p = setUp(text);
        EXPECT_EQ(occupancy(p), 0u) << text;
        EXPECT_EQ(p.epSquare, uint32_t(NoSquare)) << text;
        expectSafeToIndex(p, text);
        EXPECT_FALSE(isSearchable(p)) << text;
    }
}

TEST(Fen, EveryTruncationOfAFenIsReadSafely) {
    const std::string fens[] = {
        StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2",
        "8/8/8/8/8/8/8/8 b Qk - 12 7",
    };
    for (const std::string& fen : fens) {
        for (size_t n = 0; n <= fen.size(); ++n) {
            // A heap copy of exactly n characters lets a memory checker see any overread.
            const std::string cut = fen.substr(0, n);
            Position& p = setUp(cut.c_str());
            expectSafeToIndex(p, cut);
            isSearchable(p);
        }
    }
}

TEST(Fen, OverlongBoardFieldsAndHugeTextsStayInsideTheRecord) {
    const Position& p = setUp(
        "KKKKKKKK/QQQQQQQQ/RRRRRRRR/BBBBBBBB/NNNNNNNN/PPPPPPPP/pppppppp/kkkkkkkk/"
        "qqqqqqqq/8/8/8/rrrrrrrr w KQkq e6 7 1");
    EXPECT_EQ(p.board[sq("a8")], WhiteKing);
    EXPECT_EQ(p.board[sq("h1")], BlackKing);
    expectSafeToIndex(p, "more than 64 squares");
    EXPECT_FALSE(isSearchable(p));
    for (const std::string& huge : {std::string(70000, 'Q'), std::string(70000, '8'),
                                    std::string(StartFen) + std::string(70000, ' ') + "x"}) {
        expectSafeToIndex(setUp(huge.c_str()), huge);
        EXPECT_EQ(isSearchable(p), huge.back() == 'x');
    }
}

TEST(Fen, MissingKingLeavesAnInRangeKingSquare) {
    const Position& p = setUp("8/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(p.kingSquare[White], sq("e1"));
    EXPECT_EQ(p.kingSquare[Black], 0);
}

TEST(Fen, TooManyPiecesOfOneCodeStillIndexTheMaterialKeyInRange) {
    const Position& p = setUp("NNNNNNNN/NNNN4/8/8/8/8/8/k6K w - - 0 1");
    EXPECT_EQ(popcount(p.bitboards[WhiteKnight]), 12);
    uint64_t expected = 0;
    for (int code = WhitePawn; code <= BlackKing; ++code)
        expected ^= MaterialKey[code][std::min(popcount(p.bitboards[code]), 10)];
    EXPECT_EQ(p.materialKey, expected);
    EXPECT_FALSE(isSearchable(p));
}

TEST(SearchGate, RefusesEachUnsoundPositionAndAcceptsLegalOnes) {
    const struct {
        const char* fen;
        bool searchable;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", true},
        {"4k3/8/8/8/8/8/8/8 w - - 0 1", false},            // no white king
        {"8/8/8/8/8/8/8/4K3 w - - 0 1", false},            // no black king
        {"4k3/8/8/8/8/8/8/3KK3 w - - 0 1", false},         // two white kings
        {"4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1", false},  // nine pawns
        {"4k3/8/8/8/8/8/8/P3K3 w - - 0 1", false},         // pawn on the first rank
        {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1", false},         // pawn on the last rank
        {"3pk3/8/8/8/8/8/8/4K3 b - - 0 1", false},         // black pawn on rank 8
        {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", true},          // side to move in check
        {"4k2R/8/8/8/8/8/8/4K3 w - - 0 1", false},         // side not to move in check
        {"4k3/8/8/8/8/8/8/3Kk3 w - - 0 1", false},         // kings touch (and two kings)
        {"3k4/8/8/8/8/8/8/3K4 w - - 0 1", true},
        {"3k4/3K4/8/8/8/8/8/8 w - - 0 1", false},           // kings adjacent
        {"NNNk4/8/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", false},  // 3 knights + 8 pawns
        {"NNk5/8/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", true},    // 2 knights + 8 pawns
        {"QQQ5/8/8/7k/8/8/PPPPPPP1/4K3 w - - 0 1", true},   // 3 queens + 7 pawns
        {"BBBBk3/8/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", true},  // 2 of each bishop code
        {"rnbqkbnr/pppppppp/8/8/8/Q7/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false},  // 17 pieces
    };
    for (const auto& c : cases) EXPECT_EQ(isSearchable(setUp(c.fen)), c.searchable) << c.fen;
}

}  // namespace
