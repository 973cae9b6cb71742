#include "search/tt.h"

#include <gtest/gtest.h>

#include <tuple>

#include "search/control.h"

namespace {

constexpr uint64_t MB = uint64_t(1) << 20;

// Keys that share a home slot but differ in their check word.
Position positionWithKey(uint32_t check, uint64_t home) {
    Position p{};
    p.key = (uint64_t(check) << 32) | home;
    return p;
}

class TranspositionTable : public ::testing::Test {
   protected:
    static void TearDownTestSuite() {
        allocateTable(HashMegabytes);
        clearTable();
    }
    void SetUp() override {
        allocateTable(1);
        clearTable();
        tableGeneration = 7;
    }
};

TEST(TableSizing, LargestPowerOfTwoOfMegabytesNotAboveTheValueClampedTo1To4096) {
    const std::pair<int32_t, uint64_t> cases[] = {
        {1, MB}, {100, 64 * MB}, {3000, 2048 * MB}, {4096, 4096 * MB},
        {0, MB}, {-5, MB},       {INT32_MIN, MB},   {999999, 4096 * MB}};
    for (const auto& [megabytes, bytes] : cases)
        EXPECT_EQ(tableSizeFor(megabytes), bytes) << megabytes;
}

TEST_F(TranspositionTable, StoringAPositionTwiceKeepsOneSlotAndAKnownMove) {
    const Position p = positionWithKey(0xABCD, 40);
    storeEntry(p, 0x1234, 6, 0, BoundLower, 55);
    storeEntry(p, 0, 8, 0, BoundUpper, -20);
    int matches = 0;
    for (int i = 0; i < 4; ++i) matches += slotOf(p.key, i)->check == 0xABCD;
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(probeMove(p), 0x1234);
    const TTEntry* e = probeEntry(p);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::make_tuple(e->depth, e->bound, e->score), std::make_tuple(8, BoundUpper, -20));
}

// A bucket is walked from the home slot (home 2: 2, 3, 0, 1; home 1: 1, 0, 3, 2); a new
// position takes the first empty slot, else the first shallowest of this search, but a
// deep slot of an earlier search goes before a shallow one of this search.
TEST_F(TranspositionTable, NewPositionReplacesTheFirstShallowestSlotPreferringOldOnes) {
    storeEntry(positionWithKey(300, 6), 1, 0, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[6].check, 300u);
    storeEntry(positionWithKey(301, 5), 1, 0, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[5].check, 301u);
    const int depths[4] = {10, 4, 4, 8};
    for (int i = 0; i < 4; ++i) storeEntry(positionWithKey(100 + i, 8 + i), 1, depths[i], 0, 2, 0);
    storeEntry(positionWithKey(999, 8), 2, 5, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[9].check, 999u);
    tableGeneration = 6;
    storeEntry(positionWithKey(200, 18), 1, 20, 0, BoundExact, 0);
    tableGeneration = 7;
    for (const auto& [check, home] : {std::pair{201, 16}, {202, 17}, {203, 19}, {204, 16}})
        storeEntry(positionWithKey(check, home), 1, 2, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[18].check, 204u);
}

TEST_F(TranspositionTable, MateScoresAreStoredRelativeToTheNode) {
    const struct {
        int score, stored, readAtPly7;
    } cases[] = {{MateScore - 10, MateScore - 5, MateScore - 12},
                 {10 - MateScore, 5 - MateScore, 12 - MateScore},
                 {MateBound, MateBound, MateBound},
                 {-MateBound, -MateBound, -MateBound}};
    uint32_t check = 0x77;
    for (const auto& c : cases) {
        ++check;
        const Position p = positionWithKey(check, 100 * check);
        storeEntry(p, 0, 4, 5, BoundExact, c.score);
        const TTEntry* e = probeEntry(p);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->score, c.stored) << c.score;
        EXPECT_EQ(scoreFromTable(e->score, 7), c.readAtPly7) << c.score;
    }
}

TEST_F(TranspositionTable, SearchProbeRefreshesTheGenerationAndTheMoveProbeDoesNot) {
    const Position p = positionWithKey(0x55, 12);
    tableGeneration = 3;
    storeEntry(p, 0x0421, 2, 0, BoundLower, 1);
    tableGeneration = 4;
    EXPECT_EQ(probeMove(p), 0x0421);
    EXPECT_EQ(slotOf(p.key, 0)->generation, 3);
    ASSERT_NE(probeEntry(p), nullptr);
    EXPECT_EQ(slotOf(p.key, 0)->generation, 4);
    EXPECT_EQ(probeEntry(positionWithKey(0x56, 12)), nullptr);
    EXPECT_EQ(probeMove(positionWithKey(0x56, 12)), 0);
}

}  // namespace
