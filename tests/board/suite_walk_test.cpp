// A depth-3 walk over every suite position that checks, at every node, what perft counts
// alone cannot see: exact restoration by unmake, incremental fields against a rebuild, and
// the agreement of the generators, the validity test and the check test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "board/perft_suite.h"

namespace {

// Make/unmake read the piece-square values; distinct random ones make their sum a real
// check. The original table is put back afterwards.
class RandomPieceSquareValues {
   public:
    RandomPieceSquareValues() {
        std::memcpy(saved_, PieceSquareValue, sizeof saved_);
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> value(-300, 300);
        for (int code = WhitePawn; code <= BlackKing; ++code)
            for (int s = 0; s < 64; ++s) PieceSquareValue[code][s] = pack(value(rng), value(rng));
    }
    ~RandomPieceSquareValues() { std::memcpy(PieceSquareValue, saved_, sizeof saved_); }

   private:
    PackedScore saved_[16][64];
};

std::string describe(const Position& p, Move m) {
    return std::string("move ") + moveToText(m) + " kind " + std::to_string(moveKind(m) >> 12) +
           " key " + std::to_string(p.key);
}

// Every field, the history up to keyCount included.
void expectIdentical(const Position& a, const Position& b, const std::string& context) {
    EXPECT_EQ(0, std::memcmp(a.board, b.board, sizeof a.board)) << context;
    EXPECT_EQ(0, std::memcmp(a.bitboards, b.bitboards, sizeof a.bitboards)) << context;
    EXPECT_EQ(a.epSquare, b.epSquare) << context;
    EXPECT_EQ(a.castleRights, b.castleRights) << context;
    EXPECT_EQ(a.rule50, b.rule50) << context;
    EXPECT_EQ(a.sideToMove, b.sideToMove) << context;
    EXPECT_EQ(a.kingSquare[0], b.kingSquare[0]) << context;
    EXPECT_EQ(a.kingSquare[1], b.kingSquare[1]) << context;
    EXPECT_EQ(a.key, b.key) << context;
    EXPECT_EQ(a.pawnKey, b.pawnKey) << context;
    EXPECT_EQ(a.materialKey, b.materialKey) << context;
    EXPECT_EQ(a.psqScore, b.psqScore) << context;
    ASSERT_EQ(a.keyCount, b.keyCount) << context;
    EXPECT_EQ(0, std::memcmp(a.keyHistory, b.keyHistory, sizeof(uint64_t) * a.keyCount)) << context;
    EXPECT_EQ(a.stack, b.stack) << context;
}

// The derived fields of p against a position derived from scratch out of p's board.
void expectMatchesRebuild(const Position& p, const std::string& context) {
    static Position fresh;
    loadFen(fresh, "");
    std::memcpy(fresh.board, p.board, sizeof p.board);
    fresh.sideToMove = p.sideToMove;
    fresh.castleRights = p.castleRights;
    fresh.epSquare = p.epSquare;
    fresh.rule50 = p.rule50;
    derivePosition(fresh);
    EXPECT_EQ(0, std::memcmp(p.bitboards, fresh.bitboards, sizeof p.bitboards)) << context;
    EXPECT_EQ(p.kingSquare[0], fresh.kingSquare[0]) << context;
    EXPECT_EQ(p.kingSquare[1], fresh.kingSquare[1]) << context;
    EXPECT_EQ(p.epSquare, fresh.epSquare) << context;
    EXPECT_EQ(p.key, fresh.key) << context;
    EXPECT_EQ(p.pawnKey, fresh.pawnKey) << context;
    EXPECT_EQ(p.materialKey, fresh.materialKey) << context;
    EXPECT_EQ(p.psqScore, fresh.psqScore) << context;
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], p.key) << context;
}

std::vector<Move> movesOf(const MoveList& l) {
    return std::vector<Move>(l.moveWords, l.moveWords + l.count);
}
std::vector<Move> sorted(std::vector<Move> v) {
    std::sort(v.begin(), v.end());
    return v;
}

bool isQuiet(const Position& p, Move m) {
    return moveKind(m) == KindNormal || moveKind(m) == KindDoublePush ? p.board[moveTo(m)] == Empty
                                                                      : false;
}

struct WalkCounters {
    uint64_t nodes = 0, inCheck = 0, quietChecks = 0;
};

void walk(Position& p, SearchStackEntry* entry, int depth, WalkCounters& counters) {
    ++counters.nodes;
    const Color us = Color(p.sideToMove);
    p.stack = entry;
    entry->inCheck = isSquareAttacked(p, p.kingSquare[us], us ^ 1);
    entry->pinned = pinnedPieces(p, us);

    MoveList pseudo;
    clearList(pseudo);
    generateMoves(GenCaptures, p, pseudo);
    generateMoves(GenQuiets, p, pseudo);
    for (Move m : movesOf(pseudo))
        ASSERT_TRUE(isValidMove(p, m)) << "generated but not valid: " << describe(p, m);

    std::vector<Move> legal;
    for (Move m : movesOf(pseudo))
        if (isLegal(p, m)) legal.push_back(m);

    if (entry->inCheck) {
        ++counters.inCheck;
        MoveList evasions;
        clearList(evasions);
        generateMoves(GenEvasions, p, evasions);
        EXPECT_EQ(sorted(movesOf(evasions)), sorted(legal)) << "evasions differ, key " << p.key;
    } else {
        MoveList checks;
        clearList(checks);
        generateMoves(GenQuietChecks, p, checks);
        const std::vector<Move> generated = movesOf(checks), ordered = sorted(generated);
        EXPECT_EQ(std::adjacent_find(ordered.begin(), ordered.end()), ordered.end())
            << "a quiet check was emitted twice, key " << p.key;
        std::vector<Move> found, expected;
        for (Move m : generated)
            if (moveKind(m) != KindCastle && isLegal(p, m)) found.push_back(m);
        for (Move m : legal) {
            if (isQuiet(p, m) && givesCheck(p, m)) expected.push_back(m);
            // givesCheck may make and unmake; it must leave the position alone.
            ASSERT_EQ(p.stack, entry);
        }
        counters.quietChecks += expected.size();
        EXPECT_EQ(sorted(found), sorted(expected)) << "quiet checks differ, key " << p.key;
    }

    if (depth == 0) return;
    for (Move m : legal) {
        const Position before = p;
        UndoInfo undo;
        makeMove(p, undo, m);
        EXPECT_EQ(p.stack, nullptr);
        EXPECT_EQ(p.keyCount, before.keyCount + 1);
        expectMatchesRebuild(p, describe(before, m));
        walk(p, entry + 1, depth - 1, counters);
        unmakeMove(p, undo, m);
        expectIdentical(p, before, "after unmake of " + describe(before, m));
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasFailure()) return;
    }
}

TEST(SuiteWalk, EveryNodeToDepthThreeKeepsFieldsGeneratorsAndChecksConsistent) {
    RandomPieceSquareValues values;
    static Position p;
    SearchStackEntry stack[8] = {};
    WalkCounters counters;
    for (const SuitePosition& line : perftSuite()) {
        loadFen(p, line.fen.c_str());
        expectMatchesRebuild(p, line.fen);
        walk(p, stack, 3, counters);
        ASSERT_FALSE(HasFailure()) << "in the walk from " << line.fen;
    }
    // The walk must really have visited check and quiet-check situations.
    EXPECT_GT(counters.nodes, 500000u);
    EXPECT_GT(counters.inCheck, 1000u);
    EXPECT_GT(counters.quietChecks, 1000u);
}

// In the suite's root positions, a word is valid exactly when the generators produce it.
TEST(SuiteWalk, ValidityTestAcceptsExactlyTheGeneratedWords) {
    static Position p;
    for (const SuitePosition& line : perftSuite()) {
        loadFen(p, line.fen.c_str());
        MoveList pseudo;
        clearList(pseudo);
        generateMoves(GenCaptures, p, pseudo);
        generateMoves(GenQuiets, p, pseudo);
        std::vector<bool> generated(65536, false);
        for (Move m : movesOf(pseudo)) generated[m] = true;
        for (uint32_t word = 0; word < 65536; ++word)
            ASSERT_EQ(isValidMove(p, Move(word)), generated[word])
                << line.fen << " word " << std::hex << word;
    }
}

}  // namespace
