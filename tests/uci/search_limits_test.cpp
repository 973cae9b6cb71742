// Every "go" limit and every option through the pipe, read from the final report and
// "bestmove"; and the exact texts of the reports a search prints.
#include <gtest/gtest.h>

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

// The final report is the last "info depth" line before "bestmove".
std::string finalReport(const std::vector<std::string>& lines) {
    return lastWithPrefix(lines, "info depth");
}

class SearchLimits : public EngineTest {
   protected:
    // Runs a "go" and checks the shape of every line it printed.
    std::vector<std::string> search(const std::string& go, int timeoutMs = ReplyMs) {
        std::vector<std::string> lines = goAndWait(engine, go, timeoutMs);
        for (const std::string& l : lines) {
            SCOPED_TRACE(l);
            if (startsWith(l, "info depth"))
                EXPECT_TRUE(std::regex_match(l, PvReport));
            else if (startsWith(l, "info nodes"))
                EXPECT_TRUE(std::regex_match(l, NodeReport));
            else if (startsWith(l, "info currmove"))
                EXPECT_TRUE(std::regex_match(l, CurrentMove));
            else if (startsWith(l, "bestmove") && l != "bestmove a1a1 ")
                EXPECT_TRUE(std::regex_match(l, BestMove));
            else if (!startsWith(l, "bestmove"))
                ADD_FAILURE() << "unexpected line";
        }
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        return lines;
    }
    void position(const std::string& line) { ASSERT_TRUE(engine.send(line)); }
    void option(const std::string& line) { ASSERT_TRUE(engine.send("setoption name " + line)); }
};

TEST_F(SearchLimits, DepthOneEndsAfterTheFirstIteration) {
    position("position startpos");
    std::vector<std::string> lines = search("go depth 1");
    EXPECT_EQ(fieldOf(finalReport(lines), "depth"), "1");
    EXPECT_EQ(countPrefix(lines, "info depth"), 1) << "default options print the final report only";
}

TEST_F(SearchLimits, DepthLimitIsReachedExactly) {
    position("position startpos");
    EXPECT_EQ(fieldOf(finalReport(search("go depth 4")), "depth"), "4");
}

TEST_F(SearchLimits, OneNodeStillCompletesTheFirstIteration) {
    position("position startpos");
    std::string report = finalReport(search("go nodes 1"));
    EXPECT_EQ(fieldOf(report, "depth"), "1");
    EXPECT_GT(std::stoull(fieldOf(report, "nodes")), 1u);
}

TEST_F(SearchLimits, MateModeEndsAtTheFirstCheckAfterTheFirstIteration) {
    position("position startpos");
    EXPECT_EQ(fieldOf(finalReport(search("go mate 3")), "depth"), "1");
}

TEST_F(SearchLimits, ClockAnswersWellInsideTheRemainingTime) {
    for (const char* go : {"go wtime 2000 btime 2000", "go wtime 1000 btime 1000",
                           "go wtime 2000 btime 2000 winc 100 binc 100 movestogo 1"}) {
        SCOPED_TRACE(go);
        position("position startpos moves e2e4 e7e5");
        auto start = std::chrono::steady_clock::now();
        search(go);
        auto spent = duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
        // The time factor may stretch the budget up to fourfold; the hard limit still leaves
        // a twentieth of the clock.
        int64_t clock = std::stoll(std::string(go).substr(9));
        EXPECT_LT(spent, clock * 19 / 20 + 30) << spent << " ms";
    }
}

TEST_F(SearchLimits, DepthBeatsInfiniteAndMoveTime) {
    position("position startpos");
    // No "stop" is sent: the depth limit alone ends these.
    EXPECT_EQ(fieldOf(finalReport(search("go infinite depth 2")), "depth"), "2");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fieldOf(finalReport(search("go depth 2 movetime 60000")), "depth"), "2");
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - start).count(), 5000);
}

TEST_F(SearchLimits, NodesBeatMoveTime) {
    position("position startpos");
    auto start = std::chrono::steady_clock::now();
    search("go nodes 20000 movetime 60000");
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - start).count(), 5000);
}

TEST_F(SearchLimits, MoveTimeEndsAtTheStretchedTimeButNeverPastIt) {
    position("position startpos");
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> lines = search("go movetime 300");
    auto spent = duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
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
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - start).count(), 3000);
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
    bool numberOne = false;
    for (const std::string& l : lines) {
        SCOPED_TRACE(l);
        if (startsWith(l, "info depth")) {
            EXPECT_TRUE(std::regex_match(l, PvReport));
        } else if (startsWith(l, "info nodes")) {
            EXPECT_TRUE(std::regex_match(l, NodeReport));
        } else if (startsWith(l, "info currmove")) {
            EXPECT_TRUE(std::regex_match(l, CurrentMove));
            numberOne |= l.substr(l.size() - 17) == " currmovenumber 1";
        }
    }
    EXPECT_TRUE(numberOne);
}

TEST_F(SearchLimits, ScoresInCentipawnsOfBothSigns) {
    position("position fen 4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    std::string ahead = fieldOf(finalReport(search("go depth 3")), "cp");
    ASSERT_FALSE(ahead.empty());
    EXPECT_GT(std::stoi(ahead), 300);
    position("position fen 4k3/8/8/8/8/8/8/3QK3 b - - 0 1");
    std::string behind = fieldOf(finalReport(search("go depth 3")), "cp");
    ASSERT_FALSE(behind.empty());
    EXPECT_LT(std::stoi(behind), -300);
}

TEST_F(SearchLimits, MateScoresOfBothSigns) {
    // White mates in two (Ra7 or Rb7, then the other rook to the back rank).
    position("position fen 7k/8/8/8/8/8/R7/1R4K1 w - - 0 1");
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> lines = search("go depth 40");
    EXPECT_LT(duration_cast<Ms>(std::chrono::steady_clock::now() - start).count(), 5000)
        << "a found mate ends the search";
    EXPECT_EQ(fieldOf(finalReport(lines), "mate"), "2");
    std::string best = lastWithPrefix(lines, "bestmove").substr(0, 13);
    EXPECT_TRUE(best == "bestmove a2a7" || best == "bestmove b1b7") << best;
    // Black to move is mated next move whatever it plays.
    position("position fen 7k/R7/8/8/8/8/8/1R4K1 b - - 0 1");
    lines = search("go depth 4");
    EXPECT_EQ(fieldOf(finalReport(lines), "mate"), "-1");
    EXPECT_EQ(lastWithPrefix(lines, "bestmove").substr(0, 13), "bestmove h8g8");
}

TEST_F(SearchLimits, ARootWithoutMovesReportsMateOrDrawAndNoMove) {
    position("position fen R6k/R7/8/8/8/8/8/6K1 b - - 0 1");
    std::vector<std::string> lines = search("go depth 3");
    EXPECT_EQ(fieldOf(finalReport(lines), "mate"), "0");
    EXPECT_EQ(lastWithPrefix(lines, "bestmove"), "bestmove a1a1 ");
    position("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    lines = search("go depth 3");
    EXPECT_EQ(fieldOf(finalReport(lines), "cp"), "0");
    EXPECT_EQ(lastWithPrefix(lines, "bestmove"), "bestmove a1a1 ");
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
