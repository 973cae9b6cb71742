// "go" and "setoption" read in-process: limits, control modes, time budgets and options.
#include "uci/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "search/control.h"
#include "search/state.h"
#include "search/tt.h"
#include "uci/position_command.h"

namespace {

// Reads a "go" line for the given side to move and derives everything from it.
void go(const std::string& line, int side = White) {
    globalPosition.sideToMove = uint32_t(side);
    parseGo(line.c_str());
    prepareSearch();
}

TEST(TimeBudget, SixtySecondsWithoutMovesToGoGiveAThirtyFifthAndAQuarter) {
    go("go wtime 60000 btime 60000");
    EXPECT_EQ(timeBudget, 1542);
    EXPECT_EQ(timeBudgetMax, 15000);
    EXPECT_EQ(TimeTrouble, 0);
    EXPECT_EQ(controlMode, ModeClock);
    EXPECT_EQ(TimeFactor, 1.0);
}

TEST(TimeBudget, IncrementAndTimeTermsAreTruncatedSeparately) {
    go("go wtime 30000 winc 1000 movestogo 10");
    EXPECT_EQ(timeBudget, 90 + 2700);
    EXPECT_EQ(timeBudgetMax, 7500);
    // 35 moves: 1000 * 0.9 / 35 = 25.7 and 30000 * 0.9 / 35 = 771.4.
    go("go wtime 30000 winc 1000");
    EXPECT_EQ(timeBudget, 25 + 771);
}

TEST(TimeBudget, UsesTheClockOfTheSideToMove) {
    go("go wtime 60000 btime 6000 winc 5000 binc 100", Black);
    EXPECT_EQ(timeBudget, int(100 * 0.9 / 35) + int(6000 * 0.9 / 35));
    EXPECT_EQ(timeBudgetMax, 1500);
}

TEST(TimeBudget, TimeTroubleNeedsLittleTimeAndNoIncrement) {
    go("go wtime 60000 btime 900", Black);
    EXPECT_EQ(TimeTrouble, 1);
    go("go wtime 60000 btime 1000", Black);
    EXPECT_EQ(TimeTrouble, 1);
    go("go wtime 60000 btime 1001", Black);
    EXPECT_EQ(TimeTrouble, 0);
    go("go wtime 60000 btime 900 binc 10", Black);
    EXPECT_EQ(TimeTrouble, 0);
    go("go btime 900", White);  // White's clock is 0
    EXPECT_EQ(TimeTrouble, 1);
}

TEST(TimeBudget, BareGoPlaysOnAClockOfNothing) {
    go("go");
    EXPECT_EQ(controlMode, ModeClock);
    EXPECT_EQ(timeBudget, 0);
    EXPECT_EQ(timeBudgetMax, 0);
    EXPECT_EQ(timeHardLimit, 0);
}

TEST(TimeBudget, HardLimitLeavesTheLargerOfFiftyMillisecondsAndATwentieth) {
    go("go wtime 60000");
    EXPECT_EQ(timeHardLimit, 60000 - 3000);
    go("go wtime 1000");
    EXPECT_EQ(timeHardLimit, 950);
    go("go wtime 40");
    EXPECT_EQ(timeHardLimit, 0);
    go("go wtime -5000");
    EXPECT_EQ(timeHardLimit, 0);
    go("go wtime -99999999999999999999999");
    EXPECT_EQ(timeHardLimit, 0);
    // The factor can stretch the budgets fourfold; the hard limit stays inside the clock.
    go("go wtime 4000 movestogo 1");
    EXPECT_LT(timeHardLimit, 4000);
    EXPECT_GT(timeBudget * 4, timeHardLimit);
}

TEST(TimeBudget, HugeClocksSaturateInsteadOfOverflowing) {
    go("go wtime 99999999999999999999999 winc 99999999999999999999999");
    EXPECT_EQ(Limits.wtime, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(timeBudget, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(timeBudgetMax, std::numeric_limits<int32_t>::max());
    EXPECT_GT(timeHardLimit, 0);
    go("go wtime 9000000000");
    EXPECT_EQ(Limits.wtime, 9000000000);
    EXPECT_EQ(timeBudgetMax, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(timeBudget, int32_t(9000000000 * 0.9 / 35));
    go("go wtime -99999999999999999999999");
    EXPECT_EQ(Limits.wtime, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(timeBudgetMax, std::numeric_limits<int32_t>::min());
}

TEST(GoParameters, EveryKeywordIsReadAtItsDistance) {
    go("go ponder wtime 1 btime 2 winc 3 binc 4 movestogo 5 depth 6 nodes 7 movetime 8 "
       "mate 9 infinite");
    EXPECT_EQ(Limits.ponder, 1);
    EXPECT_EQ(Limits.infinite, 1);
    EXPECT_EQ(Limits.wtime, 1);
    EXPECT_EQ(Limits.btime, 2);
    EXPECT_EQ(Limits.winc, 3);
    EXPECT_EQ(Limits.binc, 4);
    EXPECT_EQ(Limits.movestogo, 5);
    EXPECT_EQ(Limits.depth, 6);
    EXPECT_EQ(Limits.nodes, 7u);
    EXPECT_EQ(Limits.movetime, 8);
    EXPECT_EQ(Limits.mate, 9);
}

TEST(GoParameters, EachGoStartsFromZeroAndForgetsStopAndPonderhit) {
    go("go depth 5 ponder");
    Limits.stopRequested = 1;
    Limits.ponderhitReceived = 1;
    go("go nodes 10");
    EXPECT_EQ(Limits.depth, 0);
    EXPECT_EQ(Limits.ponder, 0);
    EXPECT_EQ(Limits.stopRequested, 0);
    EXPECT_EQ(Limits.ponderhitReceived, 0);
}

TEST(GoParameters, AKeywordEndingTheLineReadsZero) {
    for (const char* line :
         {"go depth", "go mate", "go wtime", "go btime", "go winc", "go binc", "go nodes",
          "go movetime", "go movestogo", "go depth ", "go depth x", "go wtime -"}) {
        SCOPED_TRACE(line);
        go(line);
        EXPECT_EQ(Limits.depth, 0);
        EXPECT_EQ(Limits.mate, 0);
        EXPECT_EQ(Limits.wtime, 0);
        EXPECT_EQ(Limits.btime, 0);
        EXPECT_EQ(Limits.winc, 0);
        EXPECT_EQ(Limits.binc, 0);
        EXPECT_EQ(Limits.nodes, 0u);
        EXPECT_EQ(Limits.movetime, 0);
        EXPECT_EQ(Limits.movestogo, 0);
    }
}

TEST(GoParameters, NodeCountsKeepTheirFullSixtyFourBits) {
    go("go nodes 5000000000");
    EXPECT_EQ(Limits.nodes, 5000000000u);
    go("go nodes 18446744073709551615");
    EXPECT_EQ(Limits.nodes, std::numeric_limits<uint64_t>::max());
    go("go nodes 99999999999999999999999");
    EXPECT_EQ(Limits.nodes, std::numeric_limits<uint64_t>::max());
    go("go nodes -1");
    EXPECT_EQ(Limits.nodes, std::numeric_limits<uint64_t>::max());
}

TEST(GoParameters, DepthMateAndMovesToGoAreKeptInSixteenBits) {
    go("go depth -1");
    EXPECT_EQ(Limits.depth, 65535);
    go("go depth 65537");
    EXPECT_EQ(Limits.depth, 1);
    go("go mate 65536");
    EXPECT_EQ(Limits.mate, 0);
    go("go movestogo 70000 wtime 1000");
    EXPECT_EQ(Limits.movestogo, 70000 - 65536);
}

TEST(GoParameters, NumbersAreReadLikeAtoi) {
    go("go depth   12abc");
    EXPECT_EQ(Limits.depth, 12);
    go("go movetime +250");
    EXPECT_EQ(Limits.movetime, 250);
    go("go wtime\t-300");
    EXPECT_EQ(Limits.wtime, -300);
    // The number starts at a fixed distance: a second blank is skipped like any other.
    go("go nodes  42");
    EXPECT_EQ(Limits.nodes, 42u);
}

TEST(ControlMode, FirstRuleThatAppliesWins) {
    struct Case {
        const char* line;
        int32_t mode;
    };
    for (const Case& c :
         {Case{"go depth 5 infinite", ModeDepth}, Case{"go depth 10 movetime 5000", ModeDepth},
          Case{"go infinite mate 3 nodes 100", ModeInfinite},
          Case{"go mate 3 nodes 100 ponder", ModeMate},
          Case{"go nodes 100 ponder movetime 5", ModeNodes},
          Case{"go ponder wtime 1000 btime 1000", ModePonder | ModeClock},
          Case{"go movetime 300 wtime 1000", ModeMoveTime},
          Case{"go wtime 1000 btime 1000", ModeClock}, Case{"go searchmoves e2e4", ModeClock}}) {
        SCOPED_TRACE(c.line);
        go(c.line);
        EXPECT_EQ(controlMode, c.mode);
    }
}

TEST(ControlMode, PreparingASearchResetsItsCountersAndAdvancesTheGeneration) {
    NodeCount = 12345;
    IterationDepth = 8;
    LastResult.move = 0x370C;
    LastResult.score = 55;
    LastResult.depth = 4;
    TimeFactor = 3.0;
    tableGeneration = 255;
    go("go depth 3");
    EXPECT_EQ(NodeCount, 0u);
    EXPECT_EQ(IterationDepth, 0);
    EXPECT_EQ(LastResult.move, 0);
    EXPECT_EQ(LastResult.score, NoScore);
    EXPECT_EQ(LastResult.depth, 0);
    EXPECT_EQ(TimeFactor, 1.0);
    EXPECT_EQ(tableGeneration, 0);
    go("go depth 3");
    EXPECT_EQ(tableGeneration, 1);
}

TEST(SetOption, TrafficLimitTakesEachComboWord) {
    struct Case {
        const char* word;
        int32_t value;
    };
    for (const Case& c : {Case{"Ultrafast", 0}, Case{"Fast", 1}, Case{"Normal", 2},
                          Case{"Analyse", 3}, Case{"Ignore", 4}}) {
        SCOPED_TRACE(c.word);
        TrafficLimit = -1;
        setOption((std::string("setoption name Traffic Limit value ") + c.word).c_str());
        EXPECT_EQ(TrafficLimit, c.value);
    }
    setOption("setoption name Traffic Limit value Slow");
    EXPECT_EQ(TrafficLimit, 4);
    setOption("setoption name Traffic Limit value Normal");
}

TEST(SetOption, TrafficDepthIsStoredDoubled) {
    setOption("setoption name Traffic Depth value 7");
    EXPECT_EQ(TrafficDepth, 14);
    setOption("setoption name Traffic Depth value 300");
    EXPECT_EQ(TrafficDepth, 600);
    setOption("setoption name Traffic Depth value");
    EXPECT_EQ(TrafficDepth, 0);
    setOption("setoption name Traffic Depth value 99999999999");
    EXPECT_EQ(TrafficDepth, std::numeric_limits<int32_t>::max());
    setOption("setoption name Traffic Depth value 10");
    EXPECT_EQ(TrafficDepth, 20);
}

TEST(SetOption, HashResizesTheTableAndAlwaysLeavesOne) {
    for (const char* value : {"1", "0", "-5", "", "2", "64"}) {
        SCOPED_TRACE(value);
        setOption((std::string("setoption name Hash value ") + value).c_str());
        EXPECT_NE(tableBase, nullptr);
        EXPECT_GT(tableBytes, 0u);
    }
    EXPECT_EQ(HashMegabytes, 64);
    // Read while a search runs, so that no table of the saturated size is built here.
    setGoRunning(true);
    setOption("setoption name Hash value 99999999999");
    EXPECT_EQ(HashMegabytes, std::numeric_limits<int32_t>::max());
    setOption("setoption name Hash value 64");
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(HashMegabytes, 64);
}

TEST(SetOption, HashDuringASearchWaitsForItsEnd) {
    setOption("setoption name Hash value 64");
    TTEntry* before = tableBase;
    setGoRunning(true);
    setOption("setoption name Hash value 1");
    EXPECT_EQ(tableBase, before) << "the running search lost its table";
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(HashMegabytes, 1);
    EXPECT_NE(tableBase, nullptr);
    setOption("setoption name Hash value 64");
}

}  // namespace
