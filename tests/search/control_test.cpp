// The clock rules in one place: the budgets a "go" gives, where the periodic check ends a
// search, and real searches through the pipe that must answer inside their time.
#include "search/control.h"

#include <tuple>

#include "platform/platform.h"
#include "search/state.h"
#include "support/engine_pipe.h"
#include "uci/options.h"
#include "uci/position_command.h"

namespace {

void go(const char* line, Color side) {
    globalPosition.sideToMove = uint32_t(side);
    parseGo(line);
    prepareSearch();
}

// Normal budget, hard maximum (a quarter of the clock) and hard limit (the clock less a
// twentieth, at least 50 ms), from the clock of the side to move. A move overhead comes off
// each of them, and off the clock that the margin and the time trouble rule read.
TEST(TimeBudget, BudgetHardMaximumAndHardLimitFollowTheClockOfTheSideToMove) {
    const struct {
        const char* go;
        Color side;
        int32_t overhead, budget, maximum;
        int64_t hardLimit, moveTime;
        int32_t trouble;
    } cases[] = {
        {"go wtime 60000 btime 60000", White, 0, 1542, 15000, 57000, 0, 0},
        {"go wtime 60000 btime 900 winc 500 movetime 300", Black, 0, 23, 225, 850, 300, 1},
        {"go wtime 60000 btime 60000", White, 100, 1442, 14900, 56905, 0, 0},
        {"go wtime 1100 btime 60000", White, 200, 0, 75, 850, 0, 1},
        {"go wtime 1100 winc 100 movetime 300", White, 200, 0, 75, 850, 100, 0},
        {"go wtime 3000 movetime 300", White, 5000, 0, 0, 0, 0, 1},
    };
    for (const auto& c : cases) {
        MoveOverhead = c.overhead;
        go(c.go, c.side);
        EXPECT_EQ(
            std::make_tuple(timeBudget, timeBudgetMax, timeHardLimit, moveTimeLimit, TimeTrouble),
            std::make_tuple(c.budget, c.maximum, c.hardLimit, c.moveTime, c.trouble))
            << c.go << " with an overhead of " << c.overhead;
    }
    MoveOverhead = 0;
}

// The periodic check outside a search answers 1 where it would end the search. The depth,
// node, mate, infinite and ponder limits are seen through the pipe; the time rules here.
TEST(CheckTime, TimeEndsTheSearchOnlyOncePassedAndAMoveTimeNeverOverruns) {
    const struct {
        const char* go;  // White to move: "go wtime 10000" gives 257 / 2500 / 9500 ms
        int iteration;   // half-plies
        double factor;
        int softStop, elapsedMs, ends;
    } cases[] = {
        {"go wtime 10", 2, 1, 1, 99999, 0},                 // the first iteration always completes
        {"go infinite", 512, 1, 1, 0, 1},                   // the deepest iteration is 255 plies
        {"go", 4, 1, 0, 5, 1},                              // a clock of nothing
        {"go ponder wtime 10 btime 10", 4, 1, 1, 5000, 0},  // no time limit while pondering
        {"go mate 1 wtime 10", 4, 1, 1, 5000, 0},           // a mate search has none either
        // The hard maximum, stretched by the factor but capped by the hard limit, ends the
        // search even without a soft stop; the budget needs one.
        {"go wtime 10000", 4, 4, 0, 9400, 0},
        {"go wtime 10000", 4, 4, 0, 9600, 1},
        {"go wtime 10000", 4, 1, 0, 2600, 1},
        {"go wtime 10000", 4, 1.5, 1, 350, 0},
        {"go wtime 10000", 4, 1.5, 0, 400, 0},
        {"go wtime 10000", 4, 1.5, 1, 400, 1},
        // A fixed move time is never exceeded; a factor below one ends it sooner at a soft stop.
        {"go movetime 300", 4, 4, 1, 250, 0},
        {"go movetime 300", 4, 4, 0, 350, 1},
        {"go movetime 1000", 4, 0.25, 0, 300, 0},
        {"go movetime 1000", 4, 0.25, 1, 300, 1},
        {"go movetime 4294967296", 4, 1, 1, 1000, 0},  // not 0 in 32 bits
    };
    for (const auto& c : cases) {
        go(c.go, White);
        mainThread().iterationDepth = c.iteration;
        TimeFactor = c.factor;
        SoftStopAllowed = c.softStop;
        Clock.wallStart = double(tickCountMs()) / 1000.0 - c.elapsedMs / 1000.0;
        EXPECT_EQ(checkTime(), c.ends) << c.go << " at iteration " << c.iteration << ", "
                                       << c.elapsedMs << " ms, factor " << c.factor;
    }
    Limits = SearchLimits{};
}

using ClockThroughThePipe = EitherEngineTest;

TEST_P(ClockThroughThePipe, SearchesAnswerWellInsideTheirTime) {
    const struct {
        const char *position, *go;
        int64_t low, high;  // ms, the time through the pipe included
        const char* best;   // the start of the "bestmove" line
    } cases[] = {
        // Whatever the factor makes of the budget, the clock is never used up.
        {"startpos moves e2e4 e7e5", "go wtime 2000 btime 2000", 0, 2000, "bestmove "},
        {"startpos moves e2e4 e7e5", "go wtime 1000 btime 1000", 0, 1000, "bestmove "},
        {"startpos moves e2e4 e7e5", "go wtime 2000 btime 2000 winc 100 binc 100 movestogo 1", 0,
         2000, "bestmove "},
        // A move time is never exceeded. With no clock the side counts as short of time, so
        // the check past the move time times the factor (at least 0.125 here) ends it.
        {"startpos", "go movetime 300", 300 / 8, 400, "bestmove "},
        // A single legal move is played at once, even on a long clock.
        {"fen k7/8/8/8/8/8/1q6/K7 w - - 0 1", "go wtime 600000 btime 600000", 0, 3000,
         "bestmove a1b2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.go);
        ASSERT_TRUE(engine.send(std::string("position ") + c.position));
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::string> lines = engine.go(c.go);
        const int64_t spent = msSince(start);
        EXPECT_GE(spent, c.low);
        EXPECT_LT(spent, c.high) << "the time was exceeded";
        EXPECT_TRUE(startsWith(lastWithPrefix(lines, "bestmove"), c.best));
    }
}

RUN_FOR_EITHER_ENGINE(ClockThroughThePipe);

}  // namespace
