#include "search/picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "search/nodes.h"
#include "search_support.h"

namespace {

// Runs a picker to its end: whatever the hash move and killers say, it must give every legal
// move exactly once, in stage order, and nothing after the end. The stage of each move, and
// the moves in the order given.
std::map<Move, uint32_t> runPicker(const char* fen, const char* hash, const char* killer1,
                                   const char* killer2, bool deferLosingQuiets,
                                   std::vector<Move>* order = nullptr) {
    const auto wordOf = [](const char* text) { return *text ? word(text) : Move(0); };
    Position& p = setUp(fen);
    MoveList all;
    clearList(all);
    generateMoves(GenCaptures, p, all);
    generateMoves(GenQuiets, p, all);
    std::vector<Move> legal, got;
    for (int i = 0; i < all.count; ++i)
        if (isLegal(p, all.moveWords[i])) legal.push_back(all.moveWords[i]);
    SearchStackEntry& e = SearchStack[0];
    e = *p.stack;
    p.stack = &e;
    e.hashMove = wordOf(hash);
    e.killer1 = wordOf(killer1);
    e.killer2 = wordOf(killer2);
    MovePicker mp;
    startPicker(mp, p, e.inCheck, deferLosingQuiets);
    std::map<Move, uint32_t> stages;
    uint32_t last = 0;
    while (const Move m = NextMove(mp)) {
        EXPECT_LE(last, currentStage(mp)) << moveToText(m);
        stages[m] = last = currentStage(mp);
        got.push_back(m);
    }
    EXPECT_EQ(NextMove(mp), 0);
    if (order) *order = got;
    std::sort(got.begin(), got.end());
    std::sort(legal.begin(), legal.end());
    EXPECT_EQ(got, legal);
    return stages;
}

// White can win material on d5, lose the queen for a pawn there, or move quietly; d1d3 puts
// the queen where the b4 knight takes it.
TEST(MovePicker, EachMoveComesInTheStageItsKindAndTheHintsGiveIt) {
    const char* const tactical = "4k3/8/4p3/3p4/1n2P3/2N5/8/3QK3 w - - 0 1";
    const struct {
        const char *hash, *killer1, *killer2;
        bool deferLosingQuiets;
        const char* move;
        uint32_t stage;
    } cases[] = {
        {"", "", "", true, "e4d5", StageGoodCaptures},
        {"", "", "", true, "d1d5", StageDeferred},  // the losing capture waits for the quiets
        {"", "", "", true, "d1d3", StageDeferred},  // and so does the losing quiet move
        {"", "", "", false, "d1d3", StageQuiets},
        {"c3b5", "", "", true, "c3b5", StageHashMove},
        {"d1d5", "", "", true, "d1d5", StageHashMove},
        {"e3e5", "", "", true, "c3b5", StageQuiets},  // no move from e3: the hash is ignored
        {"", "e1f2", "c3a4", true, "c3a4", StageKillers},
        {"", "d1d5", "", true, "d1d5", StageDeferred},      // a killer that became a capture
        {"c3b5", "c3b5", "", true, "c3b5", StageHashMove},  // a killer equal to the hash move
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("hash ") + c.hash + " killers " + c.killer1 + " " + c.killer2 +
                     " move " + c.move);
        const auto stages = runPicker(tactical, c.hash, c.killer1, c.killer2, c.deferLosingQuiets);
        EXPECT_EQ(stages.at(word(c.move)), c.stage);
        EXPECT_EQ(std::count_if(stages.begin(), stages.end(),
                                [](const auto& x) { return x.second == StageHashMove; }),
                  c.stage == StageHashMove ? 1 : 0);
    }
}

TEST(MovePicker, InCheckYieldsEachEvasionOnceWithTheHashMoveFirst) {
    std::vector<Move> order;
    const auto stages =
        runPicker("4k3/8/8/8/1b6/8/8/RN2K1N1 w - - 0 1", "b1d2", "a1a2", "", true, &order);
    ASSERT_EQ(order.size(), 6u);  // four king moves, two knight blocks
    EXPECT_EQ(order[0], word("b1d2"));
    for (const auto& x : stages) EXPECT_EQ(x.second, StageEvasions);
}

}  // namespace
