#include "search/tt.h"

#include <gtest/gtest.h>

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
    static void SetUpTestSuite() { allocateTable(1); }
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
    EXPECT_EQ(tableSizeFor(1), MB);
    EXPECT_EQ(tableSizeFor(64), 64 * MB);
    EXPECT_EQ(tableSizeFor(100), 64 * MB);
    EXPECT_EQ(tableSizeFor(2048), 2048 * MB);
    EXPECT_EQ(tableSizeFor(3000), 2048 * MB);
    EXPECT_EQ(tableSizeFor(4096), uint64_t(1) << 32);  // needs 64 bits
    EXPECT_EQ(tableSizeFor(999999), uint64_t(1) << 32);
    EXPECT_EQ(tableSizeFor(0), MB);
    EXPECT_EQ(tableSizeFor(-5), MB);
    EXPECT_EQ(tableSizeFor(INT32_MIN), MB);
}

TEST_F(TranspositionTable, OneMegabyteHolds65536AlignedSlots) {
    EXPECT_EQ(tableEntries, 65536u);
    EXPECT_EQ(tableMask, 65535u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tableBase) % 64, 0u);
    allocateTable(100);
    EXPECT_EQ(tableEntries, 4194304u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tableBase) % 64, 0u);
}

TEST_F(TranspositionTable, HugeRequestStillLeavesAUsablePowerOfTwoTable) {
    allocateTable(INT32_MAX);  // never touched: no clear
    ASSERT_NE(tableBase, nullptr);
    EXPECT_GE(tableBytes, MB);
    EXPECT_LE(tableBytes, uint64_t(1) << 32);
    EXPECT_EQ(tableBytes & (tableBytes - 1), 0u);
    EXPECT_EQ(tableEntries * sizeof(TTEntry), tableBytes);
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
    EXPECT_EQ(e->depth, 8);
    EXPECT_EQ(e->bound, BoundUpper);
    EXPECT_EQ(e->score, -20);
}

TEST_F(TranspositionTable, NewPositionReplacesTheFirstShallowestSlotOfThisSearch) {
    const int depths[4] = {10, 4, 4, 8};
    for (int i = 0; i < 4; ++i) storeEntry(positionWithKey(100 + i, 8 + i), 1, depths[i], 0, 2, 0);
    // Each went to its own home slot; now a fifth position homed on the bucket's first slot.
    storeEntry(positionWithKey(999, 8), 2, 5, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[8].check, 100u);
    EXPECT_EQ(tableBase[9].check, 999u);
    EXPECT_EQ(tableBase[10].check, 102u);
    EXPECT_EQ(tableBase[11].check, 103u);
}

TEST_F(TranspositionTable, DeepSlotOfAnEarlierSearchGoesBeforeAShallowOneOfThisSearch) {
    tableGeneration = 6;
    storeEntry(positionWithKey(200, 18), 1, 20, 0, BoundExact, 0);
    tableGeneration = 7;
    storeEntry(positionWithKey(201, 16), 1, 2, 0, BoundExact, 0);
    storeEntry(positionWithKey(202, 17), 1, 2, 0, BoundExact, 0);
    storeEntry(positionWithKey(203, 19), 1, 2, 0, BoundExact, 0);
    storeEntry(positionWithKey(204, 16), 1, 2, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[18].check, 204u);
}

TEST_F(TranspositionTable, BucketIsVisitedFromTheHomeSlot) {
    // Home slot 2 of a bucket: the walk is 2, 3, 0, 1, so an empty bucket fills slot 2 first.
    storeEntry(positionWithKey(300, 6), 1, 0, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[6].check, 300u);
    // Home slot 1 of the same bucket: the walk is 5, 4, 7, 6 and the first empty slot wins.
    storeEntry(positionWithKey(301, 5), 1, 0, 0, BoundExact, 0);
    EXPECT_EQ(tableBase[5].check, 301u);
}

TEST_F(TranspositionTable, MateScoresAreStoredRelativeToTheNode) {
    const Position p = positionWithKey(0x77, 100);
    storeEntry(p, 0, 4, 5, BoundExact, MateScore - 10);
    const TTEntry* e = probeEntry(p);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->score, MateScore - 5);
    EXPECT_EQ(scoreFromTable(e->score, 7), MateScore - 12);

    const Position q = positionWithKey(0x78, 200);
    storeEntry(q, 0, 4, 5, BoundExact, 10 - MateScore);
    EXPECT_EQ(probeEntry(q)->score, 5 - MateScore);
    EXPECT_EQ(scoreFromTable(probeEntry(q)->score, 7), 12 - MateScore);

    const Position r = positionWithKey(0x79, 300);
    storeEntry(r, 0, 4, 5, BoundExact, MateBound);
    EXPECT_EQ(probeEntry(r)->score, MateBound);
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
