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
        timeBudget = timeBudgetMax = 0;
        timeHardLimit = 0;
        TimeFactor = 1.0;
        SoftStopAllowed = 0;
        NodeCount = 0;
        IterationDepth = 4;
        polls = 0;
        InputPoll = countPoll;
        elapsed(0);
    }
    void TearDown() override { InputPoll = nullptr; }
    static void elapsed(int ms) { Clock.wallStart = double(tickCountMs()) / 1000.0 - ms / 1000.0; }
};

TEST_F(CheckTime, FirstIterationIsNeverInterruptedAndReadsNoInput) {
    controlMode = ModeMate;
    Limits.stopRequested = 1;
    IterationDepth = 2;
    EXPECT_EQ(checkTime(), 0);
    EXPECT_EQ(polls, 0);
}

TEST_F(CheckTime, DepthLimitEndsOnlyPastTheRequestedDepth) {
    controlMode = ModeDepth;
    Limits.depth = 3;
    IterationDepth = 6;
    EXPECT_EQ(checkTime(), 0);
    IterationDepth = 8;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, NodeLimitEndsOncePassed) {
    controlMode = ModeNodes;
    Limits.nodes = 5000;
    NodeCount = 5000;
    EXPECT_EQ(checkTime(), 0);
    NodeCount = 5001;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, MateModeEndsAtTheFirstCheckAfterTheFirstIteration) {
    controlMode = ModeMate;
    Limits.mate = 3;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, InfiniteIgnoresEveryLimitButStopAndTheDeepestIteration) {
    controlMode = ModeInfinite;
    Limits.infinite = 1;
    Limits.ponderhitReceived = 1;
    elapsed(100000);
    EXPECT_EQ(checkTime(), 0);
    EXPECT_EQ(polls, 1);
    IterationDepth = 512;
    EXPECT_EQ(checkTime(), 1);
    IterationDepth = 4;
    InputPoll = pollThatStops;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, PonderhitEndsAPonderSearchAtOnce) {
    controlMode = ModePonder | ModeClock;
    Limits.ponder = 1;
    timeBudget = timeBudgetMax = 10;
    timeHardLimit = 10;
    elapsed(5000);
    EXPECT_EQ(checkTime(), 0);  // no time limit while pondering
    Limits.ponderhitReceived = 1;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, ClockHardLimitIsTheStretchedMaximumCappedByTheSafetyMargin) {
    timeBudget = 100000;
    timeBudgetMax = 1000;
    timeHardLimit = 1500;
    TimeFactor = 4.0;  // would allow 4000 ms
    elapsed(1400);
    EXPECT_EQ(checkTime(), 0);
    elapsed(1600);
    EXPECT_EQ(checkTime(), 1);  // even without a soft stop
    TimeFactor = 1.0;
    timeHardLimit = 100000;
    elapsed(1100);
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, ClockBudgetStopsOnlyWhereASoftStopIsAllowed) {
    timeBudget = 200;
    timeBudgetMax = 100000;
    timeHardLimit = 100000;
    TimeFactor = 1.5;
    elapsed(250);
    SoftStopAllowed = 1;
    EXPECT_EQ(checkTime(), 0);
    elapsed(350);
    SoftStopAllowed = 0;
    EXPECT_EQ(checkTime(), 0);
    SoftStopAllowed = 1;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, FixedMoveTimeIsNeverExceededWhateverTheFactor) {
    controlMode = ModeMoveTime;
    Limits.movetime = 300;
    TimeFactor = 4.0;
    SoftStopAllowed = 0;
    elapsed(250);
    EXPECT_EQ(checkTime(), 0);
    elapsed(350);
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, FixedMoveTimeEndsEarlierUnderASmallFactorAtASoftStop) {
    controlMode = ModeMoveTime;
    Limits.movetime = 1000;
    TimeFactor = 0.25;
    elapsed(300);
    SoftStopAllowed = 0;
    EXPECT_EQ(checkTime(), 0);
    SoftStopAllowed = 1;
    EXPECT_EQ(checkTime(), 1);
}

TEST_F(CheckTime, HugeMoveTimeDoesNotWrapIntoAnImmediateStop) {
    controlMode = ModeMoveTime;
    Limits.movetime = int64_t(1) << 32;  // would read as 0 in 32 bits
    SoftStopAllowed = 1;
    elapsed(1000);
    EXPECT_EQ(checkTime(), 0);
}

TEST_F(CheckTime, PollsInputAfterTheLimitsAndHonoursAStopItReads) {
    timeBudget = timeBudgetMax = 100000;
    timeHardLimit = 100000;
    EXPECT_EQ(checkTime(), 0);
    EXPECT_EQ(polls, 1);
    InputPoll = pollThatStops;
    EXPECT_EQ(checkTime(), 1);
    EXPECT_EQ(polls, 2);
}

TEST_F(CheckTime, ParameterlessGoStopsAfterTheFirstIteration) {
    elapsed(5);
    EXPECT_EQ(checkTime(), 1);
}

}  // namespace
