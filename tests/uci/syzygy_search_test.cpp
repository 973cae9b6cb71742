// Searching with the tables, through a pipe, for both searches: the root keeps only the moves
// the tables rank best (under MultiPV and searchmoves too), probes below the root count as
// "tbhits", and won endgames are won within the fifty-move rule while drawn ones are held.
#include <set>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "support/engine_pipe.h"
#include "tablebase/tablebase.h"

namespace {

class TablebaseSearch : public EitherEngineTest {
   protected:
    void SetUp() override {
        EitherEngineTest::SetUp();
        ASSERT_TRUE(engine.send("setoption name SyzygyPath value " TOLVO_SYZYGY_DIR));
        const std::vector<std::string> said = engine.ready();
        ASSERT_EQ(said.size(), 1u);
        ASSERT_TRUE(startsWith(said[0], "info string SyzygyPath ")) << said[0];
    }
};

std::string firstMoveOf(const std::string& report) {
    return fieldOf(report, "pv");
}

// White's queen on d1 may go to d4, d5 or d6, where the king takes it: the only moves that do
// not win.
const char* const QueenWin = "position fen 8/8/8/4k3/8/8/8/3QK3 w - - 0 1";

TEST_P(TablebaseSearch, TheRootKeepsOnlyTheBestRankedMovesUnderMultiPvAndSearchmoves) {
    ASSERT_TRUE(engine.send("setoption name MultiPV value 3"));
    ASSERT_TRUE(engine.send(QueenWin));
    const std::vector<std::string> lines = engine.go("go depth 6");
    const std::set<std::string> drawing = {"d1d4", "d1d5", "d1d6"};
    int final = 0;
    for (const std::string& l : lines) {
        if (!startsWith(l, "info depth 6 ")) continue;
        ++final;
        EXPECT_EQ(drawing.count(firstMoveOf(l)), 0u) << l;
        EXPECT_NE(fieldOf(l, "tbhits"), "") << l;
    }
    EXPECT_EQ(final, 3);
    // Among the listed moves only the winning king move is kept: one line, and it is played.
    const std::vector<std::string> listed = engine.go("go depth 6 searchmoves d1d4 d1d5 e1e2");
    EXPECT_EQ(countPrefix(listed, "info depth 6 "), 1);
    EXPECT_TRUE(startsWith(lastWithPrefix(listed, "bestmove"), "bestmove e1e2 "));
    // Only drawing moves listed: they are all kept, the tables rank them alike.
    const std::vector<std::string> draws = engine.go("go depth 6 searchmoves d1d4 d1d5");
    EXPECT_EQ(countPrefix(draws, "info depth 6 "), 2);
}

// Five pieces are more than the tables hold, but capturing the knight leads into them.
TEST_P(TablebaseSearch, AFivePieceRootReachesTheTablesThroughItsCaptures) {
    ASSERT_TRUE(engine.send("position fen 4k3/8/8/3n4/8/8/3R4/3RK3 w - - 0 1"));
    const std::string report = lastWithPrefix(engine.go("go depth 8"), "info depth 8 ");
    ASSERT_NE(fieldOf(report, "tbhits"), "") << report;
    EXPECT_GT(std::stoull(fieldOf(report, "tbhits")), 0u) << report;
    // The position node lines report the same field right after the nodes.
    EXPECT_NE(report.find(" nodes " + fieldOf(report, "nodes") + " tbhits "), std::string::npos)
        << report;
}

bool inCheck(const Position& p) {
    return isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
}

// The engine plays both sides from the position, each move from a short search, until mate
// or the ply limit; returns the plies played and leaves the final position in p.
int playOut(Pipe& engine, const std::string& fen, int maxPlies, Position& p, bool& mated,
            bool& defenceLost) {
    std::string line = "position fen " + fen + " moves";
    positionCommand(p, ("position fen " + fen).c_str());
    const Color attacker = Color(p.sideToMove);
    mated = defenceLost = false;
    for (int ply = 0; ply < maxPlies; ++ply) {
        MoveList legal;
        generateLegalMoves(p, legal);
        if (legal.count == 0) {
            mated = inCheck(p);
            return ply;
        }
        EXPECT_TRUE(engine.send(line));
        const std::string best = lastWithPrefix(engine.go("go nodes 3000"), "bestmove");
        const std::string move = fieldOf(" " + best, "bestmove");
        line += " " + move;
        positionCommand(p, line.c_str());
        // A defence that was holding must go on holding: after the defender's move the
        // attacker, to move, never has a win.
        Wdl wdl;
        int dtz;
        if (Color(p.sideToMove) == attacker && probeDtz(p, wdl, dtz) && wdl == Wdl::Win)
            defenceLost = true;
    }
    return maxPlies;
}

TEST_P(TablebaseSearch, WonEndingsAreMatedWithinTheRuleAndADrawnOneIsHeld) {
    ASSERT_FALSE(loadTablebases(TOLVO_SYZYGY_DIR).tables == 0);
    static Position p;
    // Rook, queen (with Black) and pawn endings, each a win by the tables.
    for (const char* fen : {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", "4k3/8/8/8/8/8/3K4/q7 b - - 0 1",
                            "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"}) {
        SCOPED_TRACE(fen);
        bool mated, lost;
        const int plies = playOut(engine, fen, 160, p, mated, lost);
        EXPECT_TRUE(mated) << "no mate after " << plies << " plies";
        EXPECT_LT(p.rule50, 100);
    }
    bool mated, lost;
    // King and pawn against a king in front of it: drawn, and the defender keeps it so.
    playOut(engine, "8/8/8/8/8/3k4/3P4/3K4 w - - 0 1", 60, p, mated, lost);
    EXPECT_FALSE(mated);
    EXPECT_FALSE(lost);
    loadTablebases("");
}

RUN_FOR_EITHER_ENGINE(TablebaseSearch);

}  // namespace
