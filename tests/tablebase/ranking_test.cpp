// The root ranking and the probes on chosen positions: only the best-ranked moves are kept, the
// fifty-move counter and "Syzygy50MoveRule" change the ranks as the rule says, promotions are
// told apart, and positions the tables cannot hold are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "support/table_folder.h"
#include "tablebase/tablebase.h"

namespace {

class Ranking : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { ASSERT_EQ(loadTablebases(TestTables).tables, 35); }
    static void TearDownTestSuite() { loadTablebases(""); }

    // The ranking of the position, the texts of its kept moves, and each move's child value.
    RootRanking rank(const char* fen, bool rule50 = true) {
        loadFen(p, fen);
        RootRanking r;
        EXPECT_TRUE(rankRootMoves(p, rule50, r)) << fen;
        return r;
    }
    std::vector<std::string> texts(const MoveList& moves) {
        std::vector<std::string> t;
        for (int i = 0; i < moves.count; ++i) t.push_back(moveToText(p, moves.moveWords[i]));
        return t;
    }
    // The rank of the move the text names; a value outside the ranks when none does.
    int rankOf(const RootRanking& r, const std::string& text) {
        const std::vector<std::string> all = texts(r.ranked);
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == text) return r.ranked.scores[i];
        return -9999;
    }
    // The value of the position after the move, for the side that moved.
    Wdl afterMove(Move m) {
        static Position child;
        child = p;
        UndoInfo undo;
        SearchStackEntry stack[2] = {};
        child.stack = stack;
        makeMove(child, undo, m);
        Wdl w = Wdl::Draw;
        int dtz = 0;
        EXPECT_TRUE(probeDtz(child, w, dtz));
        return Wdl(-int(w));
    }
    static inline Position p;
};

TEST_F(Ranking, AWonRootKeepsOnlyWinningMovesAndADrawnOneOnlyDrawingMoves) {
    // KQvK: the queen may be left en prise or the king stalemated; no such move is kept.
    RootRanking r = rank("8/8/8/4k3/8/8/3QK3/8 w - - 0 1");
    EXPECT_EQ(r.bestRank, 1000);
    EXPECT_GT(r.best.count, 3);
    EXPECT_LT(r.best.count, r.ranked.count);
    for (int i = 0; i < r.best.count; ++i) EXPECT_EQ(afterMove(r.best.moveWords[i]), Wdl::Win);
    // Stalemate in one is possible here (Qb6?); it is ranked a draw and dropped.
    r = rank("k7/8/2K5/8/8/8/8/1Q6 w - - 0 1");
    const std::vector<std::string> kept = texts(r.best);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), "b1b6"), 0);
    EXPECT_EQ(rankOf(r, "b1b6"), 0);

    // A drawn KPvK for the defender: king moves that let the pawn through lose and are dropped.
    r = rank("4k3/8/8/8/8/8/4P3/4K3 b - - 0 1");
    EXPECT_EQ(r.bestRank, 0);
    int losing = 0;
    for (int i = 0; i < r.ranked.count; ++i) losing += r.ranked.scores[i] < 0;
    EXPECT_GT(losing, 0);
    EXPECT_EQ(r.best.count, r.ranked.count - losing);
    for (int i = 0; i < r.best.count; ++i) EXPECT_EQ(afterMove(r.best.moveWords[i]), Wdl::Draw);
    // A lost root keeps every move when all lose alike.
    r = rank("K7/8/8/8/3k4/8/8/2q5 w - - 0 1");
    EXPECT_EQ(r.best.count, r.ranked.count);
    EXPECT_EQ(r.bestRank, -1000);
}

TEST_F(Ranking, PromotionsAreToldApart) {
    // c8=Q stalemates, c8=R wins: the rook promotion is kept, the queen's ranked a draw.
    const RootRanking r = rank("8/k1P5/8/1K6/8/8/8/8 w - - 0 1");
    const std::vector<std::string> kept = texts(r.best);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), "c7c8r"), 1);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), "c7c8q"), 0);
    EXPECT_EQ(rankOf(r, "c7c8q"), 0);
    EXPECT_EQ(rankOf(r, "c7c8r"), 1000);
    EXPECT_LE(rankOf(r, "c7c8b"), 0);
    EXPECT_LE(rankOf(r, "c7c8n"), 0);
}

TEST_F(Ranking, TheFiftyMoveCounterNarrowsAWinAndTheRuleCanBeSwitchedOff) {
    // KRvK a long way from mate: with a fresh counter every winning move ranks 1000.
    const char* fresh = "8/8/8/3k4/8/8/8/R3K3 w - - 0 1";
    const char* late = "8/8/8/3k4/8/8/8/R3K3 w - - 80 1";
    RootRanking r = rank(fresh);
    Wdl w;
    int dtz = 0;
    ASSERT_TRUE(probeDtz(p, w, dtz));
    ASSERT_EQ(w, Wdl::Win);
    ASSERT_GT(dtz, 21);  // so that 80 plies on the counter leave too few to win
    const int freshKept = r.best.count;
    EXPECT_EQ(r.bestRank, 1000);
    EXPECT_GT(freshKept, 2);
    // Late in the count the win is cursed: the value says so, and only the fastest moves
    // toward the reset rank best.
    r = rank(late);
    ASSERT_TRUE(probeDtz(p, w, dtz));
    EXPECT_EQ(w, Wdl::CursedWin);
    EXPECT_GT(r.bestRank, 0);
    EXPECT_LT(r.bestRank, 900);
    EXPECT_LT(r.best.count, freshKept);
    // Without the rule a cursed win is a win: every winning move is kept again.
    r = rank(late, false);
    EXPECT_EQ(r.bestRank, 1000);
    EXPECT_EQ(r.best.count, freshKept);
    // A repetition since the last reset ranks the moves by their distance too.
    loadFen(p, fresh);
    p.keyCount = 5;
    p.rule50 = 4;
    for (int i = 0; i < 5; ++i) p.keyHistory[i] = i % 2 ? 7 : p.key;
    RootRanking repeated;
    ASSERT_TRUE(rankRootMoves(p, true, repeated));
    EXPECT_LT(repeated.bestRank, 1000);
    EXPECT_LT(repeated.best.count, freshKept);
}

TEST_F(Ranking, PositionsTheTablesCannotHoldAreRefused) {
    RootRanking r;
    Wdl w;
    int dtz;
    for (const char* fen : {
             "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1",    // a castling right
             "4k3/8/8/8/8/8/PP6/R3K3 w - - 0 1",  // five pieces
             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         }) {
        loadFen(p, fen);
        EXPECT_FALSE(rankRootMoves(p, true, r)) << fen;
        EXPECT_FALSE(probeDtz(p, w, dtz)) << fen;
        EXPECT_FALSE(probeWdl(p, w)) << fen;
    }
    // A node probe needs a fresh counter, since its value would not count the counter.
    loadFen(p, "8/8/8/3k4/8/8/8/R3K3 w - - 1 1");
    EXPECT_FALSE(probeWdl(p, w));
    loadFen(p, "8/8/8/3k4/8/8/8/R3K3 w - - 0 1");
    ASSERT_TRUE(probeWdl(p, w));
    EXPECT_EQ(w, Wdl::Win);
    // Mated and stalemated sides to move.
    loadFen(p, "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1");
    ASSERT_TRUE(probeDtz(p, w, dtz));
    EXPECT_EQ(w, Wdl::Loss);
    EXPECT_EQ(dtz, 0);
    EXPECT_FALSE(rankRootMoves(p, true, r));
    loadFen(p, "k7/8/1QK5/8/8/8/8/8 b - - 0 1");
    ASSERT_TRUE(probeDtz(p, w, dtz));
    EXPECT_EQ(w, Wdl::Draw);
    // No tables: nothing answers.
    loadTablebases("");
    loadFen(p, "8/8/8/3k4/8/8/8/R3K3 w - - 0 1");
    EXPECT_FALSE(probeWdl(p, w));
    EXPECT_FALSE(rankRootMoves(p, true, r));
    loadTablebases(TestTables);
}

}  // namespace
