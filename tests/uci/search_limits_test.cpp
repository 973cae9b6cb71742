// Every "go" limit and every option through the pipe, read from the final report and
// "bestmove"; and the exact texts of the reports a search prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

using Ms = std::chrono::milliseconds;
using std::chrono::duration_cast;

const std::regex PvReport(
    "info depth [0-9]+ seldepth [0-9]+ nodes [0-9]+ score (cp|mate) -?[0-9]+ nps [0-9]+ "
    "pv ([a-h][1-8][a-h][1-8][nbrq]? )* ");
const std::regex NodeReport("info nodes [0-9]+ nps [0-9]+ time [0-9]+ hashfull 0 ");
const std::regex CurrentMove("info currmove [a-h][1-8][a-h][1-8][nbrq]? currmovenumber [0-9]+");
const std::regex BestMove(
    "bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)? ");

int64_t msSince(std::chrono::steady_clock::time_point start) {
    return duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
}

// The final report is the last "info depth" line before "bestmove".
std::string finalReport(const std::vector<std::string>& lines) {
    return lastWithPrefix(lines, "info depth");
}

// Every line a search printed has the shape of its kind.
void expectWellFormed(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) {
        SCOPED_TRACE(l);
        const std::regex& shape = startsWith(l, "info depth")      ? PvReport
                                  : startsWith(l, "info nodes")    ? NodeReport
                                  : startsWith(l, "info currmove") ? CurrentMove
                                                                   : BestMove;
        EXPECT_TRUE(l == "bestmove a1a1 " || std::regex_match(l, shape));
    }
}

class SearchLimits : public EngineTest {
   protected:
    // Runs a "go" and checks the shape of every line it printed.
    std::vector<std::string> search(const std::string& go, int timeoutMs = ReplyMs) {
        std::vector<std::string> lines = goAndWait(engine, go, timeoutMs);
        expectWellFormed(lines);
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        return lines;
    }
    void position(const std::string& line) { ASSERT_TRUE(engine.send(line)); }
    void option(const std::string& line) { ASSERT_TRUE(engine.send("setoption name " + line)); }
};

TEST_F(SearchLimits, EachLimitEndsTheSearchAtItsDepth) {
    struct Case {
        const char* go;
        const char* depth;  // of the final report; "" when any
    };
    position("position startpos");
    // One node still completes the first iteration. No "stop" is sent: the depth and node
    // limits alone beat infinite and a move time.
    for (const Case& c : {Case{"go depth 1", "1"}, Case{"go depth 4", "4"}, Case{"go nodes 1", "1"},
                          Case{"go infinite depth 2", "2"}, Case{"go depth 2 movetime 60000", "2"},
                          Case{"go nodes 20000 movetime 60000", ""}}) {
        SCOPED_TRACE(c.go);
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> lines = search(c.go);
        EXPECT_LT(msSince(start), 5000);
        EXPECT_TRUE(!*c.depth || fieldOf(finalReport(lines), "depth") == c.depth)
            << finalReport(lines);
    }
    std::vector<std::string> lines = search("go depth 1");
    EXPECT_EQ(countPrefix(lines, "info depth"), 1) << "default options print the final report only";
    EXPECT_GT(std::stoull(fieldOf(finalReport(search("go nodes 1")), "nodes")), 1u);
}

TEST_F(SearchLimits, ClockAnswersWellInsideTheRemainingTime) {
    for (const char* go : {"go wtime 2000 btime 2000", "go wtime 1000 btime 1000",
                           "go wtime 2000 btime 2000 winc 100 binc 100 movestogo 1"}) {
        SCOPED_TRACE(go);
        position("position startpos moves e2e4 e7e5");
        auto start = std::chrono::steady_clock::now();
        search(go);
        auto spent = msSince(start);
        // The time factor may stretch the budget up to fourfold; the hard limit still leaves
        // a twentieth of the clock.
        int64_t clock = std::stoll(std::string(go).substr(9));
        EXPECT_LT(spent, clock * 19 / 20 + 30) << spent << " ms";
    }
}

TEST_F(SearchLimits, MoveTimeEndsAtTheStretchedTimeButNeverPastIt) {
    position("position startpos");
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> lines = search("go movetime 300");
    auto spent = msSince(start);
    // With no clock given the side counts as short of time, so the search ends at the first
    // check past 300 ms times the time factor. In the start position (twenty moves, scores
    // far below 1000) each iteration's factor is at least 0.125, the easy-move factor, so the
    // factor in force (the mean of the last two) is too; and a move time is never exceeded.
    EXPECT_GE(spent, 300 * 0.125);
    EXPECT_LT(spent, 300 + 200);
    EXPECT_GT(std::stoi(fieldOf(finalReport(lines), "depth")), 1);
}

TEST_F(SearchLimits, OneLegalMoveIsPlayedAtOnceOnALongClock) {
    // White's king in check with a single escape.
    position("position fen k7/8/8/8/8/8/1q6/K7 w - - 0 1");
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> lines = search("go wtime 600000 btime 600000");
    EXPECT_LT(msSince(start), 3000);
    EXPECT_EQ(lastWithPrefix(lines, "bestmove").substr(0, 13), "bestmove a1b2");
}

TEST_F(SearchLimits, HashOptionResizesAndTheEngineKeepsSearching) {
    position("position startpos");
    for (const char* value : {"1", "16", "0", "-5", "64"}) {
        SCOPED_TRACE(value);
        option(std::string("Hash value ") + value);
        EXPECT_EQ(countPrefix(syncReady(engine), ""), 0);
        EXPECT_EQ(fieldOf(finalReport(search("go depth 3")), "depth"), "3");
    }
}

TEST_F(SearchLimits, UltrafastPrintsOnlyTheFinalReportAndBestMove) {
    option("Traffic Limit value Ultrafast");
    option("Traffic Depth value 0");
    position("position startpos");
    std::vector<std::string> lines = search("go depth 4");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(fieldOf(lines[0], "depth"), "4");
}

TEST_F(SearchLimits, TrafficDepthGatesTheReportsOfShallowIterations) {
    option("Traffic Limit value Fast");
    option("Traffic Depth value 3");
    position("position startpos");
    std::vector<std::string> lines = search("go depth 5");
    // Iterations of depth 3, 4 and 5 report their end; then the final report.
    EXPECT_EQ(countPrefix(lines, "info depth 1 "), 0);
    EXPECT_EQ(countPrefix(lines, "info depth 2 "), 0);
    EXPECT_EQ(countPrefix(lines, "info depth 3 "), 1);
    EXPECT_EQ(countPrefix(lines, "info depth 4 "), 1);
    EXPECT_EQ(countPrefix(lines, "info depth 5 "), 2);
    EXPECT_EQ(countPrefix(lines, "info currmove"), 0);
    EXPECT_EQ(countPrefix(lines, "info nodes"), 0);
}

TEST_F(SearchLimits, ShallowIterationsReportEveryIterationButGateTheTimedLines) {
    option("Traffic Limit value Ignore");
    position("position startpos");
    std::vector<std::string> lines = search("go depth 3");
    // Every iteration reports its end (and each new best move its PV); below depth 10 the
    // node report and the current-move line print at most once per 1000 seconds.
    EXPECT_GE(countPrefix(lines, "info depth 1 "), 2);
    EXPECT_GE(countPrefix(lines, "info depth 2 "), 2);
    EXPECT_GE(countPrefix(lines, "info depth 3 "), 3);
    EXPECT_LE(countPrefix(lines, "info nodes"), 1);
    EXPECT_LE(countPrefix(lines, "info currmove"), 1);
    lines = search("go depth 3");
    EXPECT_EQ(countPrefix(lines, "info nodes"), 0);
    EXPECT_EQ(countPrefix(lines, "info currmove"), 0);
}

TEST_F(SearchLimits, InfiniteReportsEveryKind) {
    position("position startpos");
    ASSERT_TRUE(engine.send("go infinite"));
    std::vector<std::string> lines = engine.linesWithin(500);
    ASSERT_TRUE(engine.send("stop"));
    ASSERT_TRUE(engine.readUntilPrefix("bestmove", ReplyMs, &lines).has_value());
    // Kind 0 and 1 at the first iteration already, the current-move line forced for the
    // first root move.
    EXPECT_GT(countPrefix(lines, "info depth 1 "), 0);
    EXPECT_GT(countPrefix(lines, "info nodes"), 0);
    expectWellFormed(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return startsWith(l, "info currmove") && l.substr(l.size() - 17) == " currmovenumber 1";
    }));
}

TEST_F(SearchLimits, ScoresOfBothSignsAndRootsWithoutMoves) {
    struct Case {
        const char* position;
        const char* go;
        const char* kind;   // "cp" or "mate"
        int low, high;      // bounds of the score
        const char* moves;  // the moves "bestmove" may name; "" for any
    };
    const int Big = 1000000;
    // White mates in two (Ra7 or Rb7, then the other rook to the back rank), and a found mate
    // ends the search; then Black to move is mated next move whatever it plays; then roots
    // without moves, mated and stalemate.
    for (const Case& c :
         {Case{"position fen 4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "go depth 3", "cp", 301, Big, ""},
          Case{"position fen 4k3/8/8/8/8/8/8/3QK3 b - - 0 1", "go depth 3", "cp", -Big, -301, ""},
          Case{"position fen 7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", "go depth 40", "mate", 2, 2,
               "a2a7 b1b7"},
          Case{"position fen 7k/R7/8/8/8/8/8/1R4K1 b - - 0 1", "go depth 4", "mate", -1, -1,
               "h8g8"},
          Case{"position fen R6k/R7/8/8/8/8/8/6K1 b - - 0 1", "go depth 3", "mate", 0, 0, "a1a1"},
          Case{"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 3", "cp", 0, 0, "a1a1"}}) {
        SCOPED_TRACE(c.position);
        position(c.position);
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> lines = search(c.go);
        EXPECT_LT(msSince(start), 5000);
        std::string score = fieldOf(finalReport(lines), c.kind);
        ASSERT_FALSE(score.empty()) << finalReport(lines);
        EXPECT_GE(std::stoi(score), c.low);
        EXPECT_LE(std::stoi(score), c.high);
        std::string move = lastWithPrefix(lines, "bestmove").substr(9, 4);
        EXPECT_TRUE(!*c.moves || std::string(c.moves).find(move) != std::string::npos) << move;
    }
}

TEST_F(SearchLimits, PvReportEndsWithTwoBlanksAndBestMoveNamesThePonderMove) {
    position("position startpos");
    std::vector<std::string> lines = search("go depth 4");
    std::string report = finalReport(lines);
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report.substr(report.size() - 2), "  ");
    size_t pv = report.find(" pv ");
    ASSERT_NE(pv, std::string::npos);
    std::string first = report.substr(pv + 4, 4);
    std::string second = report.substr(pv + 9, 4);
    EXPECT_EQ(lastWithPrefix(lines, "bestmove"), "bestmove " + first + " ponder " + second + " ");
}

}  // namespace
