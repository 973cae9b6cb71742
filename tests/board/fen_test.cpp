// The lenient FEN reader: what it reads, and that no text makes it read or write out of bounds
// or leave a field that a table read could not index (a memory checker watches every case).
#include "board/fen.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "board/positions.h"

namespace {

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
    uint64_t materialKey = 0;  // counts above ten index the last row
    for (int code = WhitePawn; code <= BlackKing; ++code)
        materialKey ^= MaterialKey[code][std::min(popcount(p.bitboards[code]), 10)];
    EXPECT_EQ(p.materialKey, materialKey);
}

TEST(Fen, StartPositionFillsEveryField) {
    const Position& p = setUp(StartFen);
    EXPECT_EQ(std::make_tuple(p.board[sq("c1")], p.board[sq("f1")], p.board[sq("c8")],
                              p.board[sq("f8")], p.board[sq("e1")], p.board[sq("e8")]),
              std::make_tuple(WhiteDarkBishop, WhiteLightBishop, BlackLightBishop, BlackDarkBishop,
                              WhiteKing, BlackKing));
    EXPECT_EQ(std::make_tuple(p.castleRights, p.epSquare, p.kingSquare[0], p.kingSquare[1]),
              std::make_tuple(15, 64u, sq("e1"), sq("e8")));
    EXPECT_EQ(p.bitboards[White], 0xFFFFull);
}

TEST(Fen, EachCastlingPatternGivesItsRightsAndTheFieldsAfterItFollow) {
    const std::pair<const char*, int> cases[] = {
        {"KQkq", 15}, {"K", 1},    {"Q", 2},    {"k", 4},   {"q", 8},   {"KQ", 3},
        {"Kk", 5},    {"Kq", 9},   {"Qk", 6},   {"Qq", 10}, {"kq", 12}, {"KQk", 7},
        {"KQq", 11},  {"Kkq", 13}, {"Qkq", 14}, {"-", 0},   {"kK", 0}};  // out of order: none
    static Position p;
    for (const auto& [field, rights] : cases) {
        const std::string fen = std::string("r3k2r/8/8/8/4P3/8/8/R3K2R b ") + field + " e3 17 40";
        std::memset(&p, 0, sizeof p);
        parseFen(p, fen.c_str());
        EXPECT_EQ(p.castleRights, rights) << fen;
        // Letters out of order shift the fields: the en-passant field is read from "kK".
        EXPECT_EQ(p.epSquare, uint32_t(rights ? sq("e3") : field[0] == '-' ? sq("e3") : 64)) << fen;
        EXPECT_EQ(p.rule50, rights || field[0] == '-' ? 17 : 0) << fen;
    }
}

TEST(Fen, EnPassantSquareIsKeptOnlyWhenADoublePushExplainsIt) {
    const std::pair<const char*, int> cases[] = {
        {"4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", sq("e3")},
        {"4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1", NoSquare},    // wrong side to move
        {"4k3/8/8/8/4P3/4n3/8/4K3 b - e3 0 1", NoSquare},  // square occupied
        {"4k3/8/8/3pP3/8/8/8/4K3 w - h9 0 1", NoSquare},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - ~~ 0 1", NoSquare}};
    for (const auto& [fen, ep] : cases) {
        const Position& p = setUp(fen);
        EXPECT_EQ(p.epSquare, uint32_t(ep)) << fen;
        expectSafeToIndex(p, fen);
    }
}

TEST(Fen, CharactersThatAreNoPieceTakeNoSquareAndCountersKeepEightBits) {
    static Position a, b;
    loadFen(a, "4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    loadFen(b, "4k3/8/8x/8/98/8/80/4K2R w K - 0 1");
    EXPECT_EQ(0, std::memcmp(a.board, b.board, sizeof a.board));
    EXPECT_EQ(a.key, b.key);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - - 300 1").rule50, 300 % 256);
    expectSafeToIndex(setUp("4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999999 1"), "long");
}

TEST(Fen, EveryTruncationAndOverlongTextIsReadSafely) {
    for (const std::string fen :
         {StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
          "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "8/8/8/8/8/8/8/8 b Qk - 12 7"}) {
        for (size_t n = 0; n <= fen.size(); ++n) {
            // A heap copy of exactly n characters lets a memory checker see any overread.
            const std::string cut = fen.substr(0, n);
            Position& p = setUp(cut.c_str());
            expectSafeToIndex(p, cut);
            EXPECT_TRUE(n == fen.size() ? isSearchable(p) == (fen[0] != '8')
                                        : n > 0 || occupancy(p) == 0);
        }
    }
    const Position& p = setUp(
        "KKKKKKKK/QQQQQQQQ/RRRRRRRR/BBBBBBBB/NNNNNNNN/PPPPPPPP/pppppppp/kkkkkkkk/"
        "qqqqqqqq/8/8/8/rrrrrrrr w KQkq e6 7 1");
    EXPECT_EQ(p.board[sq("a8")], WhiteKing);
    EXPECT_EQ(p.board[sq("h1")], BlackKing);
    expectSafeToIndex(p, "more than 64 squares");
    for (const std::string& huge :
         {std::string(70000, 'Q'), std::string(70000, '8'), std::string(" ") + StartFen,
          std::string(StartFen) + std::string(70000, ' ') + "x"}) {
        const Position& q = setUp(huge.c_str());
        expectSafeToIndex(q, huge);
        EXPECT_EQ(isSearchable(q), huge.back() == 'x');
    }
}

TEST(SearchGate, RefusesEachUnsoundPositionAndAcceptsLegalOnes) {
    const std::pair<const char*, bool> cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", true},
        {"4k3/8/8/8/8/8/8/8 w - - 0 1", false},             // no white king
        {"4k3/8/8/8/8/8/8/3KK3 w - - 0 1", false},          // two white kings
        {"4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1", false},   // nine pawns
        {"4k3/8/8/8/8/8/8/P3K3 w - - 0 1", false},          // pawn on the first rank
        {"3pk3/8/8/8/8/8/8/4K3 b - - 0 1", false},          // black pawn on rank 8
        {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", true},           // side to move in check
        {"4k2R/8/8/8/8/8/8/4K3 w - - 0 1", false},          // side not to move in check
        {"3k4/3K4/8/8/8/8/8/8 w - - 0 1", false},           // kings adjacent
        {"NNNk4/8/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", false},  // 3 knights + 8 pawns
        {"rnbqkbnr/pppppppp/8/8/8/Q7/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false},  // 17 pieces
    };
    for (const auto& [fen, searchable] : cases)
        EXPECT_EQ(isSearchable(setUp(fen)), searchable) << fen;
}

}  // namespace
