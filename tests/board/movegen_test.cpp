#include "board/movegen.h"

#include "board/positions.h"

namespace {

// Legality and completeness are proved by the perft suite and the suite walk, the order, the
// scores and the quiescence targets by the bench signature; what neither sees is a list that
// two generators would fill past its end.
TEST(MoveLists, GeneratorsStopAtTheListsCapacity) {
    Position& p = setUp("QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K w - - 0 1");
    struct Guarded {
        MoveList list;
        uint64_t canary;
    } g;
    g.canary = 0x5A5A5A5A5A5A5A5Aull;
    clearList(g.list);
    generateMoves(GenCaptures, p, g.list);
    for (int i = 0; i < 4; ++i) generateMoves(GenQuiets, p, g.list);
    EXPECT_EQ(g.list.count, MaxMoves);
    EXPECT_EQ(g.canary, 0x5A5A5A5A5A5A5A5Aull);
}

}  // namespace
