#include "search/tt.h"

#include <gtest/gtest.h>

#include <tuple>

#include "search/control.h"

namespace {

constexpr uint64_t MB = uint64_t(1) << 20;

TEST(TableSizing, LargestPowerOfTwoOfMegabytesNotAboveTheValueClampedTo1To4096) {
    const std::pair<int32_t, uint64_t> cases[] = {{1, MB}, {100, 64 * MB},  {3000, 2048 * MB},
                                                  {0, MB}, {INT32_MIN, MB}, {999999, 4096 * MB}};
    for (const auto& [megabytes, bytes] : cases)
        EXPECT_EQ(tableSizeFor(megabytes), bytes) << megabytes;
}

// Where a store goes in its bucket and which slot it replaces shape the search only (the bench
// signature shows any change there); a mate or tablebase score must come back exact at any
// other ply, and an evaluation as it was.
TEST(TranspositionTable, MateAndTablebaseScoresAreStoredRelativeToTheNode) {
    allocateTable(1);
    clearTable();
    const struct {
        int score, stored, readAtPly7;
    } cases[] = {{MateScore - 10, MateScore - 5, MateScore - 12},
                 {10 - MateScore, 5 - MateScore, 12 - MateScore},
                 {TablebaseWin - 10, TablebaseWin - 5, TablebaseWin - 12},
                 {10 - TablebaseWin, 5 - TablebaseWin, 12 - TablebaseWin},
                 {TablebaseBound, TablebaseBound, TablebaseBound},
                 {-TablebaseBound, -TablebaseBound, -TablebaseBound}};
    uint32_t check = 0x77;
    for (const auto& c : cases) {
        Position p{};
        ++check;
        p.key = (uint64_t(check) << 32) | (100 * check);
        storeEntry(p, 0x1234, 4, 5, BoundExact, c.score);
        TTEntry e;
        ASSERT_TRUE(probeEntry(p, e));
        EXPECT_EQ(std::make_tuple(e.score, e.move, e.depth), std::make_tuple(c.stored, 0x1234, 4));
        EXPECT_EQ(scoreFromTable(e.score, 7), c.readAtPly7) << c.score;
    }
    allocateTable(HashMegabytes);
    clearTable();
}

// Threads write slots without a lock, so a slot may end up with one writer's head and another's
// body. Such a slot is never found, for either position; whole slots are.
TEST(TranspositionTable, ASlotMixedFromTwoWritersIsNeverAHit) {
    allocateTable(1);
    clearTable();
    Position a{}, b{};
    a.key = 0x1111111100000040ull;
    b.key = 0x2222222200000040ull;  // the same home slot
    TTSlot& slot = slotOf(a.key, 0);
    storeEntry(a, 0x0111, 6, 0, BoundLower, 35);
    const uint64_t headA = slot.head, bodyA = slot.body;
    clearTable();
    storeEntry(b, 0x0222, 8, 0, BoundUpper, -20);
    const uint64_t headB = slot.head, bodyB = slot.body;
    TTEntry e;
    for (const auto& [head, body] : {std::pair{headA, bodyB}, std::pair{headB, bodyA}}) {
        slot.head = head;
        slot.body = body;
        EXPECT_FALSE(probeEntry(a, e) || probeEntry(b, e));
        EXPECT_EQ(probeMove(a) | probeMove(b), 0);
    }
    slot.head = headA;
    slot.body = bodyA;
    ASSERT_TRUE(probeEntry(a, e));
    EXPECT_EQ(std::make_tuple(e.move, e.depth, e.bound, e.score),
              std::make_tuple(0x0111, 6, BoundLower, 35));
    allocateTable(HashMegabytes);
    clearTable();
}

}  // namespace
