// A depth-3 walk over every suite position that checks, at every node, what perft counts
// alone cannot see: exact restoration by unmake, incremental fields against a rebuild, rights
// that match the board, and the agreement of the generators, the validity test and the check
// test.
#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/positions.h"

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

auto derivedFields(const Position& p) {
    return std::make_tuple(p.kingSquare[0], p.kingSquare[1], p.epSquare, p.key, p.pawnKey,
                           p.materialKey, p.psqScore);
}
bool sameBoards(const Position& a, const Position& b) {
    return std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(a.bitboards, b.bitboards, sizeof a.bitboards) == 0;
}

// Every field, the history up to keyCount included.
void expectIdentical(const Position& a, const Position& b, const std::string& context) {
    EXPECT_TRUE(sameBoards(a, b)) << context;
    EXPECT_EQ(derivedFields(a), derivedFields(b)) << context;
    EXPECT_EQ(std::make_tuple(a.castleRights, a.rule50, a.sideToMove, a.stack),
              std::make_tuple(b.castleRights, b.rule50, b.sideToMove, b.stack))
        << context;
    ASSERT_EQ(a.keyCount, b.keyCount) << context;
    EXPECT_EQ(0, std::memcmp(a.keyHistory, b.keyHistory, sizeof(uint64_t) * a.keyCount)) << context;
}

// The derived fields of p against a position derived from scratch out of p's board; and each
// castling right held with the own king and that rook on their home squares.
void expectMatchesRebuild(const Position& p, const std::string& context) {
    constexpr int Homes[4][3] = {{WhiteKing, 4, 7},
                                 {WhiteKing, 4, 0},
                                 {BlackKing, 60, 63},
                                 {BlackKing, 60, 56}};  // king, its square, the rook's square
    for (int r = 0; r < 4; ++r)
        EXPECT_TRUE(!(p.castleRights & (1 << r)) || (p.board[Homes[r][1]] == Homes[r][0] &&
                                                     p.board[Homes[r][2]] == Homes[r][0] - 4))
            << "castling right " << (1 << r) << " without its pieces: " << context;
    static Position fresh;
    loadFen(fresh, "");
    std::memcpy(fresh.board, p.board, sizeof p.board);
    fresh.sideToMove = p.sideToMove;
    fresh.castleRights = p.castleRights;
    fresh.epSquare = p.epSquare;
    fresh.rule50 = p.rule50;
    derivePosition(fresh);
    EXPECT_TRUE(sameBoards(p, fresh)) << context;
    EXPECT_EQ(derivedFields(p), derivedFields(fresh)) << context;
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], p.key) << context;
}

std::vector<Move> generated(Position& p, std::initializer_list<GeneratorKind> kinds) {
    MoveList l;
    clearList(l);
    for (GeneratorKind kind : kinds) generateMoves(kind, p, l);
    return std::vector<Move>(l.moveWords, l.moveWords + l.count);
}
std::vector<Move> sorted(std::vector<Move> v) {
    std::sort(v.begin(), v.end());
    return v;
}

bool isQuiet(const Position& p, Move m) {
    return (moveKind(m) == KindNormal || moveKind(m) == KindDoublePush) &&
           p.board[moveTo(m)] == Empty;
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

    std::vector<Move> legal;
    for (Move m : generated(p, {GenCaptures, GenQuiets})) {
        ASSERT_TRUE(isValidMove(p, m)) << "generated but not valid: " << describe(p, m);
        if (isLegal(p, m)) legal.push_back(m);
    }

    if (entry->inCheck) {
        ++counters.inCheck;
        EXPECT_EQ(sorted(generated(p, {GenEvasions})), sorted(legal))
            << "evasions differ, key " << p.key;
    } else {
        const std::vector<Move> checks = sorted(generated(p, {GenQuietChecks}));
        EXPECT_EQ(std::adjacent_find(checks.begin(), checks.end()), checks.end())
            << "a quiet check was emitted twice, key " << p.key;
        std::vector<Move> found, expected;
        for (Move m : checks)
            if (moveKind(m) != KindCastle && isLegal(p, m)) found.push_back(m);
        for (Move m : legal) {
            if (isQuiet(p, m) && givesCheck(p, m)) expected.push_back(m);
            // givesCheck may make and unmake; it must leave the position alone.
            ASSERT_EQ(p.stack, entry);
        }
        counters.quietChecks += expected.size();
        EXPECT_EQ(found, sorted(expected)) << "quiet checks differ, key " << p.key;
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
        if (::testing::Test::HasFailure()) return;
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
    for (const SuitePosition& line : perftSuite()) {
        Position& p = setUp(line.fen.c_str());
        std::vector<bool> isGenerated(65536, false);
        for (Move m : generated(p, {GenCaptures, GenQuiets})) isGenerated[m] = true;
        for (uint32_t w = 0; w < 65536; ++w)
            ASSERT_EQ(isValidMove(p, Move(w)), isGenerated[w])
                << line.fen << " word " << std::hex << w;
    }
}

}  // namespace
