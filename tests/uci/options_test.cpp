// "go" and "setoption" read in-process: the limits, the control mode and the options.
#include "uci/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "search/control.h"
#include "search/tt.h"

namespace {

void go(const std::string& line) {
    parseGo(line.c_str());
    prepareSearch();
}

TEST(GoParameters, EveryKeywordIsReadAtItsDistanceAndEachGoStartsFromZero) {
    go("go ponder wtime 1 btime 2 winc 3 binc 4 movestogo 5 depth 6 nodes 7 movetime 8 "
       "mate 9 infinite");
    const SearchLimits& l = Limits;
    EXPECT_EQ(std::make_tuple(l.ponder, l.infinite, l.wtime, l.btime, l.winc, l.binc),
              std::make_tuple(1, 1, 1, 2, 3, 4));
    EXPECT_EQ(std::make_tuple(l.movestogo, l.depth, l.nodes, l.movetime, l.mate),
              std::make_tuple(5, 6, 7u, 8, 9));
    Limits.stopRequested = Limits.ponderhitReceived = 1;
    go("go nodes 10");
    EXPECT_EQ(std::make_tuple(l.depth, l.ponder, l.stopRequested, l.ponderhitReceived),
              std::make_tuple(0, 0, 0, 0));
}

// Numbers are read like atoi from a fixed distance; a keyword at the end of the line reads 0;
// node counts keep 64 bits and saturate, depth, mate and moves to go keep 16.
TEST(GoParameters, NumbersAreReadLikeAtoiIntoFieldsOfTheirWidth) {
    constexpr uint64_t Max64 = std::numeric_limits<uint64_t>::max();
    const struct {
        const char* line;
        uint64_t SearchLimits::*field64;
        uint16_t SearchLimits::*field16;
        uint64_t value;
    } cases[] = {
        {"go nodes 5000000000", &SearchLimits::nodes, nullptr, 5000000000u},
        {"go nodes 18446744073709551615", &SearchLimits::nodes, nullptr, Max64},
        {"go nodes 99999999999999999999999", &SearchLimits::nodes, nullptr, Max64},
        {"go nodes -1", &SearchLimits::nodes, nullptr, Max64},
        {"go nodes  42", &SearchLimits::nodes, nullptr, 42},  // a second blank is skipped
        {"go nodes", &SearchLimits::nodes, nullptr, 0},
        {"go depth   12abc", nullptr, &SearchLimits::depth, 12},
        {"go depth -1", nullptr, &SearchLimits::depth, 65535},
        {"go depth 65537", nullptr, &SearchLimits::depth, 1},
        {"go depth", nullptr, &SearchLimits::depth, 0},
        {"go depth x", nullptr, &SearchLimits::depth, 0},
        {"go mate 65536", nullptr, &SearchLimits::mate, 0},
        {"go movestogo 70000 wtime 1000", nullptr, &SearchLimits::movestogo, 70000 - 65536},
        {"go movestogo", nullptr, &SearchLimits::movestogo, 0},
    };
    for (const auto& c : cases) {
        go(c.line);
        EXPECT_EQ(c.field64 ? Limits.*c.field64 : Limits.*c.field16, c.value) << c.line;
    }
    for (const auto& [line, value] : {std::pair{"go movetime +250", 250},
                                      {"go wtime\t-300", -300},
                                      {"go wtime", 0},
                                      {"go wtime -", 0},
                                      {"go binc", 0}}) {
        go(line);
        EXPECT_EQ(Limits.movetime + Limits.wtime + Limits.binc, value) << line;
    }
}

TEST(ControlMode, FirstRuleThatAppliesWins) {
    const std::pair<const char*, int32_t> cases[] = {
        {"go depth 5 infinite", ModeDepth},
        {"go depth 10 movetime 5000", ModeDepth},
        {"go infinite mate 3 nodes 100", ModeInfinite},
        {"go mate 3 nodes 100 ponder", ModeMate},
        {"go nodes 100 ponder movetime 5", ModeNodes},
        {"go ponder wtime 1000 btime 1000", ModePonder | ModeClock},
        {"go movetime 300 wtime 1000", ModeMoveTime},
        {"go wtime 1000 btime 1000", ModeClock},
        {"go searchmoves e2e4", ModeClock}};
    for (const auto& [line, mode] : cases) {
        go(line);
        EXPECT_EQ(controlMode, mode) << line;
    }
}

TEST(SetOption, TrafficOptionsTakeTheirWordsAndTheDepthDoubled) {
    const std::pair<const char*, int32_t> limits[] = {
        {"Ultrafast", 0}, {"Fast", 1}, {"Normal", 2}, {"Analyse", 3}, {"Ignore", 4}, {"Slow", 4}};
    for (const auto& [word, value] : limits) {
        setOption((std::string("setoption name Traffic Limit value ") + word).c_str());
        EXPECT_EQ(TrafficLimit, value) << word;
    }
    const std::pair<const char*, int32_t> depths[] = {
        {"7", 14}, {"300", 600}, {"", 0}, {"99999999999", INT32_MAX}, {"10", 20}};
    for (const auto& [value, stored] : depths) {
        setOption((std::string("setoption name Traffic Depth value ") + value).c_str());
        EXPECT_EQ(TrafficDepth, stored) << value;
    }
    setOption("setoption name Traffic Limit value Normal");
}

TEST(SetOption, HashAlwaysLeavesATableAndWaitsForTheEndOfASearch) {
    for (const char* value : {"1", "0", "-5", "", "2", "64"}) {
        setOption((std::string("setoption name Hash value ") + value).c_str());
        EXPECT_NE(tableBase, nullptr) << value;
        EXPECT_GT(tableBytes, 0u) << value;
    }
    TTEntry* const before = tableBase;
    setGoRunning(true);
    // Read while a search runs, so that no table of the saturated size is built here.
    setOption("setoption name Hash value 99999999999");
    EXPECT_EQ(HashMegabytes, INT32_MAX);
    setOption("setoption name Hash value 1");
    EXPECT_EQ(tableBase, before) << "the running search lost its table";
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(tableBytes, uint64_t(1) << 20);
    setOption("setoption name Hash value 64");
}

}  // namespace
