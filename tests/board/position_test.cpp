#include "board/position.h"

#include <cstring>
#include <set>
#include <tuple>

#include "board/movetext.h"
#include "board/positions.h"

namespace {

// The fields a FEN fixes, and every key computed from scratch, against the position.
void expectPosition(const Position& p, const char* fen) {
    static Position e;
    loadFen(e, fen);
    EXPECT_EQ(0, std::memcmp(p.board, e.board, sizeof p.board)) << fen;
    EXPECT_EQ(std::make_tuple(p.castleRights, p.epSquare, p.rule50, p.sideToMove, p.key, p.pawnKey,
                              p.materialKey, p.psqScore),
              std::make_tuple(e.castleRights, e.epSquare, e.rule50, e.sideToMove, e.key, e.pawnKey,
                              e.materialKey, e.psqScore))
        << fen;
}

TEST(Keys, AllDrawnKeysAreDistinctAndTheUnusedEntriesStayZero) {
    std::vector<uint64_t> drawn;
    for (int code = 2; code < 16; ++code) {
        for (int s = 0; s < 64; ++s) drawn.push_back(PieceKey[code][s]);
        for (int n = 0; n <= 10; ++n) drawn.push_back(MaterialKey[code][n]);
    }
    for (int s = 16; s < 24; ++s) drawn.insert(drawn.end(), {EpKey[s], EpKey[s + 24]});
    drawn.insert(drawn.end(), std::begin(CastleKey), std::end(CastleKey));
    drawn.insert(drawn.end(), {EpKey[64], SideKey[White], SideKey[Black]});
    for (const auto& right : CastleRookKey) drawn.insert(drawn.end(), right, right + 8);
    const std::set<uint64_t> distinct(drawn.begin(), drawn.end());
    EXPECT_EQ(distinct.size(), 1085u + 32u);
    EXPECT_EQ(distinct.count(0), 0u);
    EXPECT_EQ(EpKey[0] | EpKey[28] | PieceKey[0][10], 0u);
}

// The suite walk proves every incremental field against a rebuild from the board; what it
// cannot see is the board, the rights, the en-passant square and the counters that a move
// should leave. Each line plays its moves; after each the position equals the FEN's.
TEST(MakeMove, EachKindOfMoveLeavesThePositionItsFenDescribes) {
    const struct {
        const char *start, *moves[2], *fens[2];
    } games[] = {
        {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 3 9",  // castling moves both pieces
         {"e1g1", "e8c8"},
         {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b kq - 4 9",
          "2kr3r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w - - 5 10"}},
        {"4k3/P6P/8/3pP3/8/8/8/4K3 w - d6 0 2",  // en passant; a new bishop takes its colour
         {"e5d6", "e8d7"},
         {"4k3/P6P/3P4/8/8/8/8/4K3 b - - 0 2", "8/P2k3P/3P4/8/8/8/8/4K3 w - - 1 3"}},
        {"4k3/P6P/8/8/8/8/8/4K3 w - - 0 1",
         {"a7a8b", "e8d7"},
         {"B3k3/7P/8/8/8/8/8/4K3 b - - 0 1", "B7/3k3P/8/8/8/8/8/4K3 w - - 1 2"}},
    };
    static Position p;
    for (const auto& game : games) {
        loadFen(p, game.start);
        for (int i = 0; i < 2; ++i) {
            const Move m = textToMove(p, game.moves[i]);
            ASSERT_NE(m, 0) << game.moves[i];
            UndoInfo undo;
            makeMove(p, undo, m);
            expectPosition(p, game.fens[i]);
        }
    }
    loadFen(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 2");
    UndoInfo undo;
    makeNullMove(p, undo);
    expectPosition(p, "4k3/8/8/3pP3/8/8/8/4K3 b - - 0 2");
    EXPECT_EQ(p.keyHistory[1], p.key);
    unmakeNullMove(p, undo);
    expectPosition(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 2");
    EXPECT_EQ(p.keyCount, 1);
}

}  // namespace
