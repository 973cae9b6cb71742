// "go" read in-process: the limits and the control mode; and the options whose effect a pipe
// cannot see. The others are read through the pipe (the traffic and hostile input tests), the
// budgets with the clock rules.
#include "uci/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "search/control.h"
#include "search/threads.h"
#include "search/tt.h"

namespace {

void go(const std::string& line) {
    parseGo(line.c_str());
    prepareSearch();
}

// Each keyword is found anywhere and its number read like atoi from a fixed distance (0 at the
// end of the line); node counts keep 64 bits and saturate, depth, mate and moves to go keep
// 16. The first rule that applies gives the control mode. Each "go" starts from zero.
TEST(GoParameters, NumbersAreReadIntoFieldsOfTheirWidthAndTheFirstRuleGivesTheMode) {
    constexpr uint64_t Max = std::numeric_limits<uint64_t>::max();
    const struct {
        const char* line;
        int32_t mode;
        uint64_t nodes;
        int depth, mate, movestogo;
        int64_t wtime, movetime;
    } cases[] = {
        {"go ponder wtime 1 btime 2 winc 3 binc 4 movestogo 5 depth 6 nodes 7 movetime 8 mate 9 "
         "infinite",
         ModeDepth, 7, 6, 9, 5, 1, 8},
        {"go nodes 99999999999999999999999 infinite mate 3", ModeInfinite, Max, 0, 3, 0, 0, 0},
        {"go nodes -1 depth -1 mate 65536", ModeDepth, Max, 65535, 0, 0, 0, 0},
        {"go mate 3 nodes 100 ponder", ModeMate, 100, 0, 3, 0, 0, 0},
        {"go nodes  42 ponder movetime 5", ModeNodes, 42, 0, 0, 0, 0, 5},  // a second blank
        {"go nodes 5000000000", ModeNodes, 5000000000u, 0, 0, 0, 0, 0},
        {"go depth 65537 movestogo 70000", ModeDepth, 0, 1, 0, 70000 - 65536, 0, 0},
        {"go depth   12abc", ModeDepth, 0, 12, 0, 0, 0, 0},
        {"go ponder wtime 1000 btime 1000", ModePonder | ModeClock, 0, 0, 0, 0, 1000, 0},
        {"go movetime +250 wtime\t-300", ModeMoveTime, 0, 0, 0, 0, -300, 250},
        {"go searchmoves e2e4 wtime 1000", ModeClock, 0, 0, 0, 0, 1000, 0},
        {"go depth x movetime", ModeClock, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Limits.stopRequested = Limits.ponderhitReceived = 1;
        go(c.line);
        const SearchLimits& l = Limits;
        EXPECT_EQ(std::make_tuple(controlMode, l.nodes, l.depth, l.mate, l.movestogo, l.wtime,
                                  l.movetime, l.stopRequested, l.ponderhitReceived),
                  std::make_tuple(c.mode, c.nodes, c.depth, c.mate, c.movestogo, c.wtime,
                                  c.movetime, 0, 0))
            << c.line;
    }
}

}  // namespace

namespace {

// "Threads" is held to at least one; sent during a search it waits for the search's end, so
// that no helper the search counts on is taken away from under it.
TEST(ThreadsOption, AtLeastOneAndAppliedOnlyOnceTheSearchHasEnded) {
    setOption("setoption name Threads value -5");
    EXPECT_EQ(searchThreadCount(), 1);
    setGoRunning(true);
    setOption("setoption name Threads value 3");
    EXPECT_EQ(searchThreadCount(), 1);
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(searchThreadCount(), 3);
    setOption("setoption name Threads value 1");
    EXPECT_EQ(searchThreadCount(), 1);
}

}  // namespace

namespace {

// The new spin options keep to their declared ranges; "Ponder" is a declaration only.
TEST(AnalysisOptions, SpinValuesAreClampedAndOtherLinesLeaveThemAlone) {
    const struct {
        const char* line;
        int32_t multiPv, overhead;
    } cases[] = {
        {"setoption name MultiPV value 4", 4, 0},
        {"setoption name Move Overhead value 30", 4, 30},
        {"setoption name Ponder value true", 4, 30},
        {"setoption name MultiPV value 0", 1, 30},
        {"setoption name MultiPV value 99999999999999999999", 256, 30},
        {"setoption name Move Overhead value -5", 256, 0},
        {"setoption name Move Overhead value 5001", 256, 5000},
        {"setoption name Move Overhead value", 256, 0},  // reads 0 at the end of the line
    };
    for (const auto& c : cases) {
        setOption(c.line);
        EXPECT_EQ(std::make_pair(MultiPv, MoveOverhead), std::make_pair(c.multiPv, c.overhead))
            << c.line;
    }
    MultiPv = 1;
    MoveOverhead = 0;
}

// The button empties the table and starts the generations afresh, with or without an empty
// value, never resizing the table; during a search it waits for the search's end.
TEST(ClearHash, EmptiesTheTableWithoutResizingItAndWaitsForARunningSearch) {
    const uint64_t bytes = tableBytes;
    const auto fill = [] {
        tableGeneration = 7;
        for (int i = 0; i < 1000; ++i) tableBase[i].head.store(uint64_t(7) << 32 | 1);
        ASSERT_EQ(tableFill(), 1000);
    };
    for (const char* line : {"setoption name Clear Hash", "setoption name Clear Hash value"}) {
        fill();
        setOption(line);
        EXPECT_EQ(std::make_tuple(tableFill(), int(tableGeneration), HashMegabytes, tableBytes),
                  std::make_tuple(0, 0, 64, bytes))
            << line;
    }
    fill();
    setGoRunning(true);
    setOption("setoption name Clear Hash");
    EXPECT_EQ(tableFill(), 1000);
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(tableFill(), 0);
}

}  // namespace
