#include "search/control.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "search/state.h"

namespace {

int polls;
void countPoll() {
    ++polls;
}
void pollThatStops() {
    ++polls;
    Limits.stopRequested = 1;
}

// The periodic check outside a search: it answers 1 where it would end the search.
class CheckTime : public ::testing::Test {
   protected:
    void SetUp() override {
        Limits = SearchLimits{};
        controlMode = ModeClock;
        clock(0, 0, 0);
        TimeFactor = 1.0;
        SoftStopAllowed = 0;
        NodeCount = 0;
        IterationDepth = 4;
        polls = 0;
        InputPoll = countPoll;
    }
    void TearDown() override { InputPoll = nullptr; }
    static void clock(int32_t budget, int32_t budgetMax, int64_t hardLimit) {
        timeBudget = budget;
        timeBudgetMax = budgetMax;
        timeHardLimit = hardLimit;
    }
    // The check as it would run the given time after the search started.
    static int checkAt(int elapsedMs) {
        Clock.wallStart = double(tickCountMs()) / 1000.0 - elapsedMs / 1000.0;
        return checkTime();
    }
};

TEST_F(CheckTime, FirstIterationIsNeverInterruptedAndReadsNoInput) {
    controlMode = ModeMate;
    Limits.stopRequested = 1;
    IterationDepth = 2;
    EXPECT_EQ(checkAt(0), 0);
    EXPECT_EQ(polls, 0);
}

TEST_F(CheckTime, DepthAndNodeLimitsEndOnlyOncePassedAndAMateSearchOnlyOnStop) {
    controlMode = ModeDepth;
    Limits.depth = 3;
    IterationDepth = 6;
    EXPECT_EQ(checkAt(0), 0);
    IterationDepth = 8;
    EXPECT_EQ(checkAt(0), 1);
    controlMode = ModeNodes;
    Limits.nodes = NodeCount = 5000;
    EXPECT_EQ(checkAt(0), 0);
    NodeCount = 5001;
    EXPECT_EQ(checkAt(0), 1);
    // A mate search knows no limit of its own here, only "stop".
    controlMode = ModeMate;
    Limits.mate = 1;
    EXPECT_EQ(checkAt(100000), 0);
    Limits.stopRequested = 1;
    EXPECT_EQ(checkAt(0), 1);
}

TEST_F(CheckTime, InfiniteIgnoresEveryLimitButStopAndTheDeepestIteration) {
    controlMode = ModeInfinite;
    Limits.infinite = Limits.ponderhitReceived = 1;
    EXPECT_EQ(checkAt(100000), 0);
    EXPECT_EQ(polls, 1);
    IterationDepth = 512;
    EXPECT_EQ(checkAt(0), 1);
    IterationDepth = 4;
    InputPoll = pollThatStops;
    EXPECT_EQ(checkAt(0), 1);
}

TEST_F(CheckTime, PonderhitEndsAPonderSearchAtOnce) {
    controlMode = ModePonder | ModeClock;
    Limits.ponder = 1;
    clock(10, 10, 10);
    EXPECT_EQ(checkAt(5000), 0);  // no time limit while pondering
    Limits.ponderhitReceived = 1;
    EXPECT_EQ(checkAt(5000), 1);
}

TEST_F(CheckTime, ClockHardLimitIsTheStretchedMaximumCappedByTheSafetyMargin) {
    clock(100000, 1000, 1500);
    TimeFactor = 4.0;  // would allow 4000 ms
    EXPECT_EQ(checkAt(1400), 0);
    EXPECT_EQ(checkAt(1600), 1);  // even without a soft stop
    TimeFactor = 1.0;
    timeHardLimit = 100000;
    EXPECT_EQ(checkAt(1100), 1);
}

TEST_F(CheckTime, ClockBudgetStopsOnlyWhereASoftStopIsAllowed) {
    clock(200, 100000, 100000);
    TimeFactor = 1.5;
    SoftStopAllowed = 1;
    EXPECT_EQ(checkAt(250), 0);
    SoftStopAllowed = 0;
    EXPECT_EQ(checkAt(350), 0);
    SoftStopAllowed = 1;
    EXPECT_EQ(checkAt(350), 1);
}

TEST_F(CheckTime, FixedMoveTimeIsNeverExceededButASmallFactorEndsItEarlierAtASoftStop) {
    controlMode = ModeMoveTime;
    Limits.movetime = 300;
    TimeFactor = 4.0;
    EXPECT_EQ(checkAt(250), 0);
    EXPECT_EQ(checkAt(350), 1);
    Limits.movetime = 1000;
    TimeFactor = 0.25;
    EXPECT_EQ(checkAt(300), 0);
    SoftStopAllowed = 1;
    EXPECT_EQ(checkAt(300), 1);
    Limits.movetime = int64_t(1) << 32;  // would read as 0 in 32 bits
    EXPECT_EQ(checkAt(1000), 0);
}

TEST_F(CheckTime, PollsInputAfterTheLimitsAndHonoursAStopItReads) {
    clock(100000, 100000, 100000);
    EXPECT_EQ(checkAt(0), 0);
    EXPECT_EQ(polls, 1);
    InputPoll = pollThatStops;
    EXPECT_EQ(checkAt(0), 1);
    EXPECT_EQ(polls, 2);
}

TEST_F(CheckTime, ParameterlessGoStopsAfterTheFirstIteration) {
    EXPECT_EQ(checkAt(5), 1);
}

}  // namespace
