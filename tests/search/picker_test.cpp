#include "search/picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "search/nodes.h"
#include "search_support.h"

namespace {

struct Picked {
    Move move;
    uint32_t stage;  // the picker's stage right after it yielded the move
};

// Runs a picker to its end. Whatever the hash move and killers say, it must give every legal
// move exactly once, in stage order, and nothing after the end.
std::vector<Picked> runPicker(const char* fen, Move hash, Move killer1, Move killer2,
                              bool deferLosingQuiets = true) {
    Position& p = setUp(fen);
    std::vector<Move> legal;
    MoveList all;
    clearList(all);
    generateMoves(GenCaptures, p, all);
    generateMoves(GenQuiets, p, all);
    for (int i = 0; i < all.count; ++i)
        if (isLegal(p, all.moveWords[i])) legal.push_back(all.moveWords[i]);

    SearchStackEntry& e = SearchStack[0];
    e = *p.stack;
    p.stack = &e;
    e.hashMove = hash;
    e.killer1 = killer1;
    e.killer2 = killer2;
    MovePicker mp;
    startPicker(mp, p, e.inCheck, deferLosingQuiets);
    std::vector<Picked> out;
    std::vector<Move> got;
    while (const Move m = NextMove(mp)) {
        EXPECT_TRUE(out.empty() || out.back().stage <= currentStage(mp)) << moveToText(m);
        out.push_back({m, currentStage(mp)});
        got.push_back(m);
    }
    EXPECT_EQ(NextMove(mp), 0);
    EXPECT_EQ(NextMove(mp), 0);
    std::sort(got.begin(), got.end());
    std::sort(legal.begin(), legal.end());
    EXPECT_EQ(got, legal);
    return out;
}

uint32_t stageOf(const std::vector<Picked>& picked, Move m) {
    for (const Picked& x : picked)
        if (x.move == m) return x.stage;
    return 0;
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
        {"c3b5", "", "", true, "c3b5", StageHashMove},
        {"e4d5", "", "", true, "e4d5", StageHashMove},
        {"d1d5", "", "", true, "d1d5", StageHashMove},
        {"e3e5", "", "", true, "c3b5", StageQuiets},  // no move from e3: the hash is ignored
        {"", "e1f2", "c3a4", true, "e1f2", StageKillers},
        {"", "e1f2", "c3a4", true, "c3a4", StageKillers},
        {"", "d1d5", "", true, "d1d5", StageDeferred},      // a killer that became a capture
        {"c3b5", "c3b5", "", true, "c3b5", StageHashMove},  // a killer equal to the hash move
        {"", "", "", true, "d1d3", StageDeferred},
        {"", "", "", false, "d1d3", StageQuiets},
        {"", "", "", true, "c3b5", StageQuiets},
    };
    const auto wordOf = [](const char* text) { return *text ? word(text) : Move(0); };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("hash ") + c.hash + " killers " + c.killer1 + " " + c.killer2 +
                     " move " + c.move);
        const auto picked = runPicker(tactical, wordOf(c.hash), wordOf(c.killer1),
                                      wordOf(c.killer2), c.deferLosingQuiets);
        EXPECT_EQ(stageOf(picked, word(c.move)), c.stage);
        EXPECT_EQ(std::count_if(picked.begin(), picked.end(),
                                [](const Picked& x) { return x.stage == StageHashMove; }),
                  c.stage == StageHashMove ? 1 : 0);
    }
}

TEST(MovePicker, InCheckYieldsEachEvasionOnceWithTheHashMoveFirst) {
    const auto picked =
        runPicker("4k3/8/8/8/1b6/8/8/RN2K1N1 w - - 0 1", word("b1d2"), word("a1a2"), 0);
    ASSERT_EQ(picked.size(), 6u);  // four king moves, two knight blocks
    EXPECT_EQ(picked[0].move, word("b1d2"));
    for (const Picked& x : picked) EXPECT_EQ(x.stage, StageEvasions);
}

}  // namespace
