// What analysing GUIs and online bots ask for, through the pipe: several lines, a restricted
// root, the table's fill and its clearing.
#include <set>

#include "support/engine_pipe.h"

namespace {

// A report's score on one scale: mates beyond every centipawn score, the nearer the higher.
int scoreOf(const std::string& report) {
    const std::string mate = fieldOf(report, "mate");
    if (mate.empty()) return std::stoi(fieldOf(report, "cp"));
    const int n = std::stoi(mate);
    return n > 0 ? 30000 - n : -30000 - n;
}
// The move that begins a report's line.
std::string firstMove(const std::string& report) {
    return fieldOf(report, "pv");
}
std::string bestMoveOf(const std::vector<std::string>& lines) {
    return fieldOf(" " + lastWithPrefix(lines, "bestmove"), "bestmove");
}
uint64_t nodesOf(const std::vector<std::string>& lines) {
    return std::stoull(fieldOf(lastWithPrefix(lines, "info depth"), "nodes"));
}

class Analysis : public EitherEngineTest {
   protected:
    void set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(engine.send("setoption name " + name + " value " + value));
    }
    // The final report: one "info depth" line per line, best first, right before "bestmove",
    // each opening with its own legal move; "bestmove" plays line 1 and ponders on its reply.
    void expectLines(const std::string& position, const std::vector<std::string>& lines, int count,
                     bool numbered) {
        const std::vector<std::string> legal = legalMoveTexts(position);
        ASSERT_EQ(countPrefix(lines, "bestmove"), 1);
        ASSERT_GT(lines.size(), size_t(count));
        const size_t first = lines.size() - 1 - size_t(count);
        std::set<std::string> moves;
        for (size_t i = first; i < lines.size() - 1; ++i) {
            const std::string& report = lines[i];
            ASSERT_TRUE(startsWith(report, "info depth")) << report;
            EXPECT_EQ(fieldOf(report, "multipv"), numbered ? std::to_string(i - first + 1) : "");
            EXPECT_NE(std::find(legal.begin(), legal.end(), firstMove(report)), legal.end());
            moves.insert(firstMove(report));
            EXPECT_TRUE(i == first || scoreOf(report) <= scoreOf(lines[i - 1])) << report;
        }
        EXPECT_EQ(int(moves.size()), count) << "two lines open with the same move";
        for (const std::string& l : lines) EXPECT_TRUE(numbered || fieldOf(l, "multipv").empty());
        const std::string line1 = lines[first].substr(lines[first].find(" pv ") + 4);
        EXPECT_TRUE(startsWith(line1, bestMoveOf(lines) + " ")) << line1;
        const std::string ponder = fieldOf(lines.back(), "ponder");
        EXPECT_TRUE(ponder.empty() || startsWith(line1, bestMoveOf(lines) + " " + ponder + " "));
    }
};

TEST_P(Analysis, MultiPvReportsTheBestLinesInOrderAndPlaysLineOne) {
    const struct {
        const char* position;
        const char *multiPv, *threads, *go;
        int lines;
    } cases[] = {
        {"position startpos", "3", "1", "go depth 6", 3},
        {"position startpos moves e2e4 c7c5", "4", "2", "go depth 6", 4},
        {"position fen 7k/8/8/8/8/8/8/K7 w - - 0 1", "5", "1", "go depth 4", 3},  // 3 moves
        // A mate in line 1 ends the search; line 2 is another move.
        {"position fen 7k/R7/8/8/8/8/8/1R4K1 w - - 0 1", "2", "1", "go depth 30", 2},
        {"position startpos", "1", "1", "go depth 6", 1},  // no line number at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.position) + " / MultiPV " + c.multiPv + " / " + c.go);
        set("MultiPV", c.multiPv);
        set("Threads", c.threads);
        ASSERT_TRUE(engine.send(c.position));
        expectLines(c.position, engine.go(c.go), c.lines, std::string(c.multiPv) != "1");
    }
    EXPECT_EQ(bestMoveOf(engine.go("position fen 7k/R7/8/8/8/8/8/1R4K1 w - - 0 1\ngo depth 30")),
              "b1b8");
    set("Threads", "1");

    // Every report of a search shows its line's number; a new line 1 in mid-iteration shows
    // only its move and the node count.
    set("MultiPV", "3");
    set("Traffic Limit", "Ignore");
    ASSERT_TRUE(engine.send("position startpos"));
    const std::vector<std::string> all = engine.go("go depth 5");
    EXPECT_GT(countPrefix(all, "info nodes"), 0);
    for (const std::string& l : all)
        EXPECT_TRUE(!startsWith(l, "info depth") || !fieldOf(l, "multipv").empty()) << l;
    set("Traffic Limit", "Normal");

    // A new value sent during a search is read by the next "go".
    ASSERT_TRUE(engine.send("go infinite"));
    set("MultiPV", "2");
    engine.ready();
    std::vector<std::string> held;
    ASSERT_TRUE(engine.send("stop") && engine.until("bestmove", &held));
    ASSERT_GE(held.size(), 4u);
    EXPECT_EQ(fieldOf(held[held.size() - 4], "multipv"), "1");
    EXPECT_EQ(fieldOf(held[held.size() - 2], "multipv"), "3");
    expectLines("position startpos", engine.go("go depth 4"), 2, true);
}

TEST_P(Analysis, SearchmovesRestrictsTheRootToTheListedMovesUntilTheFirstOtherWord) {
    const char* const NoMove = "info string searchmoves lists no legal move; searching all moves";
    const struct {
        const char *go, *multiPv;
        const char* moves;  // the moves the lines may open with; "" for any legal move
        int lines;
        bool warned;
    } cases[] = {
        {"go depth 5 searchmoves a2a3 h2h3", "1", "a2a3 h2h3", 1, false},
        {"go searchmoves g1h3 depth 4", "1", "g1h3", 1, false},
        // The illegal e2e5 ends the list: e2e4 is not in it; b2b3 joins once.
        {"go depth 4 searchmoves b2b3 b2b3 e2e5 e2e4", "3", "b2b3", 1, false},
        {"go depth 4 searchmoves a2a3 h2h3 b1c3 depth", "5", "a2a3 h2h3 b1c3", 3, false},
        {"go depth 3 searchmoves e2e5", "1", "", 1, true},
        {"go depth 3 searchmoves", "1", "", 1, true},
        // A lone listed move is played at once, as a lone legal move is.
        {"go wtime 600000 btime 600000 searchmoves e2e4", "1", "e2e4", 1, false},
    };
    ASSERT_TRUE(engine.send("position startpos"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.go);
        set("MultiPV", c.multiPv);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::string> lines = engine.go(c.go);
        EXPECT_LT(msSince(start), 3000);
        EXPECT_EQ(!lines.empty() && lines[0] == NoMove, c.warned);
        if (c.warned) lines.erase(lines.begin());
        expectLines("position startpos", lines, c.lines, std::string(c.multiPv) != "1");
        for (const std::string& l : lines) {
            const bool listed = std::string(c.moves).find(firstMove(l)) != std::string::npos;
            EXPECT_TRUE(!startsWith(l, "info depth") || !*c.moves || listed) << l;
        }
    }
}

// The table's fill per mille, measured in the node reports of a search: a slot this search
// has used stays used until it ends, so the fill only grows.
TEST_P(Analysis, HashfullGrowsAsASearchFillsTheTable) {
    ASSERT_TRUE(engine.send("setoption name Hash value 1\nposition startpos\ngo infinite"));
    std::vector<std::string> lines = engine.within(1000);
    ASSERT_TRUE(engine.send("stop") && engine.until("bestmove", &lines));
    int last = 0;
    for (const std::string& l : lines) {
        if (!startsWith(l, "info nodes")) continue;
        const int fill = std::stoi(fieldOf(l, "hashfull"));
        EXPECT_GE(fill, last) << l;
        last = fill;
    }
    EXPECT_GT(last, 0);
    EXPECT_LE(last, 1000);
}

// After the button the next search costs what the first one after start-up did, sent between
// searches or during one, with or without an empty value.
TEST_P(Analysis, ClearHashMakesTheNextSearchRunAsTheFirstOne) {
    ASSERT_TRUE(engine.send("position startpos"));
    const uint64_t first = nodesOf(engine.go("go depth 9"));
    EXPECT_NE(nodesOf(engine.go("go depth 9")), first) << "a warm table changes nothing";
    for (const char* clear : {"setoption name Clear Hash", "setoption name Clear Hash value"}) {
        ASSERT_TRUE(engine.send(clear));
        EXPECT_EQ(nodesOf(engine.go("go depth 9")), first) << clear;
    }
    ASSERT_TRUE(engine.send("go infinite\nsetoption name Clear Hash"));
    engine.ready();
    ASSERT_TRUE(engine.send("stop") && engine.until("bestmove"));
    EXPECT_EQ(nodesOf(engine.go("go depth 9")), first);
}

// The evaluation in use is part of what the table's scores and moves mean: switching it (the
// network on or off, or another network file installed) empties the table as the button does,
// between searches or, sent during one, when it has ended.
TEST_P(Analysis, AChangeOfEvaluationEmptiesTheTableAsClearHashDoes) {
    set("Use NNUE", "false");
    ASSERT_TRUE(engine.send("position startpos moves e2e4"));
    const uint64_t handWritten = nodesOf(engine.go("go depth 6"));
    set("Use NNUE", "true");
    const uint64_t switched = nodesOf(engine.go("go depth 6"));
    ASSERT_TRUE(engine.send("setoption name Clear Hash"));
    EXPECT_EQ(nodesOf(engine.go("go depth 6")), switched);
    // Another network (the built-in one, installed again) is another evaluation too.
    set("EvalFile", "<empty>");
    EXPECT_EQ(nodesOf(engine.go("go depth 6")), switched);
    // Sent during a search, the switch back waits for its end, and the table is emptied then.
    ASSERT_TRUE(engine.send("go infinite\nsetoption name Use NNUE value false"));
    engine.ready();
    ASSERT_TRUE(engine.send("stop") && engine.until("bestmove"));
    EXPECT_EQ(nodesOf(engine.go("go depth 6")), handWritten);
    // A line that changes nothing keeps the table.
    set("Use NNUE", "false");
    EXPECT_NE(nodesOf(engine.go("go depth 6")), handWritten);
    // A network file sent alone during a search is another evaluation once the search ends.
    set("Use NNUE", "true");
    EXPECT_EQ(nodesOf(engine.go("go depth 6")), switched);
    EXPECT_NE(nodesOf(engine.go("go depth 6")), switched);
    ASSERT_TRUE(engine.send("go infinite\nsetoption name EvalFile value <empty>"));
    engine.ready();
    ASSERT_TRUE(engine.send("stop") && engine.until("bestmove"));
    EXPECT_EQ(nodesOf(engine.go("go depth 6")), switched);
}

// Scholar's mate: Qxf7 mates at once, the other lines are ordinary. A mate on line 1 does not
// end the search while the other lines have no settled score.
TEST_P(Analysis, AMateOnLineOneLeavesTheOtherLinesToReachTheirDepth) {
    const std::string position =
        "position fen r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4";
    set("MultiPV", "3");
    ASSERT_TRUE(engine.send(position));
    const std::vector<std::string> lines = engine.go("go depth 8");
    expectLines(position, lines, 3, true);
    for (size_t i = lines.size() - 4; i < lines.size() - 1; ++i)
        EXPECT_TRUE(startsWith(lines[i], "info depth 8 ")) << lines[i];
    EXPECT_EQ(fieldOf(lines[lines.size() - 4], "mate"), "1");
    EXPECT_EQ(bestMoveOf(lines), "h5f7");
    // At one line the mate ends the search at once, as before.
    set("MultiPV", "1");
    const std::vector<std::string> single = engine.go("go depth 8");
    EXPECT_TRUE(startsWith(lastWithPrefix(single, "info depth"), "info depth 1 "))
        << lastWithPrefix(single, "info depth");
    // Lines that are all mates end the search as soon as each is proven: White mates by Ra8
    // and by Qb8.
    set("MultiPV", "2");
    ASSERT_TRUE(engine.send("position fen 6k1/5ppp/8/8/8/8/1Q6/R5K1 w - - 0 1"));
    const std::vector<std::string> mates = engine.go("go depth 30", 20000);
    EXPECT_TRUE(startsWith(lastWithPrefix(mates, "info depth"), "info depth 1 "))
        << lastWithPrefix(mates, "info depth");
    EXPECT_EQ(countPrefix(mates, "info depth 1 seldepth"), 2);
    // Black's two moves are both mated by Rh8: more lines asked for than there are moves end
    // the search where as many lines as moves do.
    ASSERT_TRUE(engine.send("position fen k7/8/1K6/3p4/8/8/8/7R b - - 0 1"));
    std::string lastDepth;
    for (const char* lines : {"2", "3", "256"}) {
        set("MultiPV", lines);
        ASSERT_TRUE(engine.send("setoption name Clear Hash"));
        const std::vector<std::string> mated = engine.go("go depth 30", 20000);
        const std::string last = lastWithPrefix(mated, "info depth");
        EXPECT_EQ(fieldOf(last, "mate"), "-1") << lines;
        EXPECT_EQ(countPrefix(mated, "info depth " + fieldOf(last, "depth") + " "), 2) << lines;
        if (lastDepth.empty()) lastDepth = fieldOf(last, "depth");
        EXPECT_EQ(fieldOf(last, "depth"), lastDepth) << lines;
    }
    EXPECT_LT(std::stoi(lastDepth), 30);
}

RUN_FOR_EITHER_ENGINE(Analysis);

}  // namespace
