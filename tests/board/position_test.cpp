#include "board/position.h"

#include <cstring>
#include <set>
#include <tuple>

#include "board/movetext.h"
#include "board/positions.h"

namespace {

// Plays a move given as text; fails the test when the text matches no move.
void play(Position& p, const std::string& text, UndoInfo& undo) {
    const Move m = textToMove(p, text.c_str());
    ASSERT_NE(m, 0) << text;
    makeMove(p, undo, m);
}

// The fields a FEN fixes, and every key computed from scratch, against the position.
void expectPosition(const Position& p, const char* fen) {
    static Position expected;
    loadFen(expected, fen);
    EXPECT_EQ(0, std::memcmp(p.board, expected.board, sizeof p.board)) << fen;
    EXPECT_EQ(p.castleRights, expected.castleRights) << fen;
    EXPECT_EQ(p.epSquare, expected.epSquare) << fen;
    EXPECT_EQ(p.rule50, expected.rule50) << fen;
    EXPECT_EQ(p.sideToMove, expected.sideToMove) << fen;
    EXPECT_EQ(p.kingSquare[White], expected.kingSquare[White]) << fen;
    EXPECT_EQ(p.kingSquare[Black], expected.kingSquare[Black]) << fen;
    EXPECT_EQ(p.key, expected.key) << fen;
    EXPECT_EQ(p.pawnKey, expected.pawnKey) << fen;
    EXPECT_EQ(p.materialKey, expected.materialKey) << fen;
    EXPECT_EQ(p.psqScore, expected.psqScore) << fen;
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
    const std::set<uint64_t> distinct(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn.size(), 1085u);
    EXPECT_EQ(distinct.size(), drawn.size());
    EXPECT_EQ(distinct.count(0), 0u);
    EXPECT_EQ(EpKey[0] | EpKey[28] | PieceKey[0][10], 0u);
}

// Each line plays its moves one by one; after each the position equals the FEN's, keys
// included, and unmaking it restores the position before.
TEST(MakeMove, EachKindOfMoveLeavesThePositionItsFenDescribes) {
    const struct {
        const char* start;
        std::vector<std::pair<const char*, const char*>> moves;  // move, FEN after it
    } games[] = {
        {StartFen,  // a double push sets the en-passant square, the next move clears it
         {{"e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"},
          {"g8f6", "rnbqkb1r/pppppppp/5n2/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 1 2"}}},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",  // king and rook squares remove rights
         {{"e1f1", "r3k2r/8/8/8/8/8/8/R4K1R b kq - 1 1"}}},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
         {{"h1h8", "r3k2R/8/8/8/8/8/8/R3K3 b Qq - 0 1"},
          {"a8a1", "4k2R/8/8/8/8/8/8/r3K3 w - - 0 2"}}},
        {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 3 9",  // castling moves both pieces
         {{"e1g1", "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b kq - 4 9"},
          {"e8c8", "2kr3r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w - - 5 10"}}},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2",  // en passant removes the pawn behind
         {{"e5d6", "4k3/8/3P4/8/8/8/8/4K3 b - - 0 2"}}},
        {"4k3/P6P/8/8/8/8/8/4K3 w - - 0 1",  // a new bishop takes its square's colour
         {{"a7a8b", "B3k3/7P/8/8/8/8/8/4K3 b - - 0 1"}}},
        {"4k3/P6P/8/8/8/8/8/4K3 w - - 0 1", {{"h7h8b", "4k2B/P7/8/8/8/8/8/4K3 b - - 0 1"}}},
    };
    static Position p, before;
    for (const auto& game : games) {
        loadFen(p, game.start);
        for (const auto& [move, fen] : game.moves) {
            before = p;
            const Move m = textToMove(p, move);
            ASSERT_NE(m, 0) << move;
            UndoInfo undo;
            makeMove(p, undo, m);
            expectPosition(p, fen);
            unmakeMove(p, undo, m);
            EXPECT_EQ(0, std::memcmp(p.board, before.board, sizeof p.board)) << move;
            EXPECT_EQ(std::make_tuple(p.key, p.castleRights, p.epSquare, p.rule50, p.psqScore),
                      std::make_tuple(before.key, before.castleRights, before.epSquare,
                                      before.rule50, before.psqScore))
                << move;
            makeMove(p, undo, m);
        }
    }
}

TEST(MakeMove, NullMoveClearsEnPassantAndRule50AndIsTakenBackExactly) {
    static Position p, before;
    loadFen(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 2");
    before = p;
    UndoInfo undo;
    makeNullMove(p, undo);
    expectPosition(p, "4k3/8/8/3pP3/8/8/8/4K3 b - - 0 2");
    EXPECT_EQ(p.keyCount, 2);
    EXPECT_EQ(p.keyHistory[1], p.key);
    unmakeNullMove(p, undo);
    expectPosition(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 2");
    EXPECT_EQ(p.keyCount, 1);
}

TEST(KeyHistory, AFullHistoryKeepsItsNewestKeysAndNeverOverflows) {
    static Position p;
    loadFen(p, StartFen);
    const char* const shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    UndoInfo undo;
    int played = 0;
    for (; played < 3 * KeyHistorySize; ++played) {
        play(p, shuffle[played % 4], undo);
        ASSERT_LE(p.keyCount, KeyHistorySize);
        ASSERT_EQ(p.keyHistory[p.keyCount - 1], p.key);
        // The same position four half-moves back is still there to be found.
        ASSERT_TRUE(played < 4 || p.keyHistory[p.keyCount - 5] == p.key);
    }
    while (p.keyCount < KeyHistorySize) play(p, shuffle[played++ % 4], undo);
    const uint64_t key = p.key;
    const Move m = textToMove(p, shuffle[played % 4]);
    makeMove(p, undo, m);
    EXPECT_LT(p.keyCount, KeyHistorySize);
    unmakeMove(p, undo, m);
    EXPECT_EQ(p.key, key);
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], key);
}

}  // namespace
