#include "search/picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/attacks.h"
#include "board/movegen.h"
#include "search/nodes.h"
#include "search_support.h"

namespace {

struct Picked {
    Move move;
    uint32_t stage;  // the picker's stage right after it yielded the move
};

std::vector<Picked> runPicker(Position& p, Move hash, Move killer1, Move killer2,
                              bool deferLosingQuiets = true) {
    SearchStackEntry& e = SearchStack[0];
    p.stack = &e;
    e.inCheck = sideToMoveInCheck(p);
    e.pinned = pinnedPieces(p, Color(p.sideToMove));
    e.hashMove = hash;
    e.killer1 = killer1;
    e.killer2 = killer2;
    MovePicker mp;
    startPicker(mp, p, e.inCheck, deferLosingQuiets);
    std::vector<Picked> out;
    while (const Move m = NextMove(mp)) out.push_back({m, currentStage(mp)});
    EXPECT_EQ(NextMove(mp), 0);
    EXPECT_EQ(NextMove(mp), 0);
    return out;
}

std::vector<Move> legalMoves(Position& p) {
    SearchStackEntry& e = SearchStack[1];
    p.stack = &e;
    e.inCheck = sideToMoveInCheck(p);
    e.pinned = pinnedPieces(p, Color(p.sideToMove));
    MoveList l;
    clearList(l);
    if (e.inCheck) {
        generateMoves(GenEvasions, p, l);
    } else {
        generateMoves(GenCaptures, p, l);
        generateMoves(GenQuiets, p, l);
    }
    std::vector<Move> out;
    for (int i = 0; i < l.count; ++i)
        if (e.inCheck || isLegal(p, l.moveWords[i])) out.push_back(l.moveWords[i]);
    std::sort(out.begin(), out.end());
    return out;
}

// Every legal move exactly once, whatever the hash move and killers say.
void expectEachLegalMoveOnce(Position& p, const std::vector<Picked>& picked) {
    std::vector<Move> got;
    for (const Picked& x : picked) got.push_back(x.move);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, legalMoves(p));
}

uint32_t stageOf(const std::vector<Picked>& picked, Move m) {
    for (const Picked& x : picked)
        if (x.move == m) return x.stage;
    return 0;
}

// White can win material on d5, lose the queen for a pawn there, or move quietly.
const char* const Tactical = "4k3/8/4p3/3p4/1n2P3/2N5/8/3QK3 w - - 0 1";

TEST(MovePicker, GivesEveryLegalMoveOnceInStageOrder) {
    Position& p = positionFromFen(Tactical);
    const auto picked = runPicker(p, 0, 0, 0);
    expectEachLegalMoveOnce(p, picked);
    for (size_t i = 1; i < picked.size(); ++i) EXPECT_LE(picked[i - 1].stage, picked[i].stage);
    // The queen's losing capture waits until after every quiet move.
    const Move qxd5 = textToMove(p, "d1d5");
    EXPECT_EQ(stageOf(picked, qxd5), StageDeferred);
    EXPECT_EQ(stageOf(picked, textToMove(p, "e4d5")), StageGoodCaptures);
}

TEST(MovePicker, HashMoveComesFirstAndIsNeverRepeated) {
    Position& p = positionFromFen(Tactical);
    for (const char* text : {"c3b5", "e4d5", "d1d5"}) {
        const Move hash = textToMove(p, text);
        const auto picked = runPicker(p, hash, 0, 0);
        ASSERT_FALSE(picked.empty());
        EXPECT_EQ(picked[0].move, hash) << text;
        EXPECT_EQ(picked[0].stage, StageHashMove) << text;
        expectEachLegalMoveOnce(p, picked);
    }
}

TEST(MovePicker, InvalidOrIllegalHashMoveIsIgnored) {
    Position& p = positionFromFen(Tactical);
    const auto picked = runPicker(p, makeMoveWord(20, 36), 0, 0);  // e3-e5: nothing on e3
    ASSERT_FALSE(picked.empty());
    EXPECT_NE(picked[0].stage, StageHashMove);
    expectEachLegalMoveOnce(p, picked);
}

TEST(MovePicker, QuietKillersFollowTheGoodCapturesAndAreNotRepeated) {
    Position& p = positionFromFen(Tactical);
    const Move k1 = textToMove(p, "e1f2"), k2 = textToMove(p, "c3a4");
    const auto picked = runPicker(p, 0, k1, k2);
    EXPECT_EQ(stageOf(picked, k1), StageKillers);
    EXPECT_EQ(stageOf(picked, k2), StageKillers);
    expectEachLegalMoveOnce(p, picked);
}

TEST(MovePicker, KillerThatBecameACaptureIsNotUsedAsKiller) {
    Position& p = positionFromFen(Tactical);
    const Move capture = textToMove(p, "d1d5");
    const auto picked = runPicker(p, 0, capture, 0);
    EXPECT_EQ(stageOf(picked, capture), StageDeferred);
    expectEachLegalMoveOnce(p, picked);
}

TEST(MovePicker, KillerEqualToTheHashMoveIsSkipped) {
    Position& p = positionFromFen(Tactical);
    const Move m = textToMove(p, "c3b5");
    const auto picked = runPicker(p, m, m, 0);
    EXPECT_EQ(picked[0].move, m);
    expectEachLegalMoveOnce(p, picked);
}

TEST(MovePicker, LosingQuietMovesAreDeferredOnlyWhenAsked) {
    Position& p = positionFromFen(Tactical);
    const Move safe = textToMove(p, "c3b5");
    const Move onGuarded = textToMove(p, "d1d3");  // the b4 knight takes on d3
    EXPECT_EQ(stageOf(runPicker(p, 0, 0, 0, true), onGuarded), StageDeferred);
    EXPECT_EQ(stageOf(runPicker(p, 0, 0, 0, false), onGuarded), StageQuiets);
    EXPECT_EQ(stageOf(runPicker(p, 0, 0, 0, true), safe), StageQuiets);
}

TEST(MovePicker, InCheckYieldsEachEvasionOnceWithTheHashMoveFirst) {
    Position& p = positionFromFen("4k3/8/8/8/1b6/8/8/RN2K1N1 w - - 0 1");
    const Move block = textToMove(p, "b1d2");
    const auto picked = runPicker(p, block, textToMove(p, "a1a2"), 0);
    ASSERT_FALSE(picked.empty());
    EXPECT_EQ(picked[0].move, block);
    for (const Picked& x : picked) EXPECT_EQ(x.stage, StageEvasions);
    expectEachLegalMoveOnce(p, picked);
    EXPECT_EQ(picked.size(), 6u);  // four king moves, two knight blocks
}

}  // namespace
