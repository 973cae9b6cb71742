// A depth-3 walk over every suite position that checks, at every node, what perft counts
// alone cannot see: exact restoration by unmake, incremental fields against a rebuild, rights
// that match the board, and the agreement of the generators, the validity test, the check
// test and the search's move picker.
#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/positions.h"
#include "search/picker.h"
#include "search/policy.h"

namespace {

std::string describe(const Position& p, Move m) {
    return std::string("move ") + moveToText(p, m) + " kind " + std::to_string(moveKind(m) >> 12) +
           " key " + std::to_string(p.key);
}

// Every field but the history beyond keyCount.
auto fields(const Position& p) {
    return std::make_tuple(
        std::vector<int>(p.board, p.board + 64),
        std::vector<Bitboard>(p.bitboards, p.bitboards + 16), p.kingSquare[0], p.kingSquare[1],
        p.epSquare, p.key, p.pawnKey, p.materialKey, p.psqScore, p.castleRights,
        std::vector<int>(p.castleRooks.square, p.castleRooks.square + 4), p.rule50, p.sideToMove,
        p.keyCount, std::vector<uint64_t>(p.keyHistory, p.keyHistory + p.keyCount));
}

// The fields of p against a position derived from scratch out of p's board and flags; and
// each castling right held with the own king on its first rank and the right's rook on its
// square, on the right's side of the king.
void expectMatchesRebuild(const Position& p, const std::string& context) {
    static Position fresh;
    loadFen(fresh, "");
    std::memcpy(fresh.board, p.board, sizeof p.board);
    fresh.sideToMove = p.sideToMove;
    fresh.castleRights = p.castleRights;
    fresh.castleRooks = p.castleRooks;
    fresh.epSquare = p.epSquare;
    fresh.rule50 = p.rule50;
    derivePosition(fresh);
    fresh.keyCount = p.keyCount;
    std::memcpy(fresh.keyHistory, p.keyHistory, sizeof(uint64_t) * (p.keyCount - 1));
    fresh.keyHistory[p.keyCount - 1] = fresh.key;
    EXPECT_EQ(fields(p), fields(fresh)) << context;
    for (int r = 0; r < 4; ++r) {
        if (!(p.castleRights & (1 << r))) continue;
        const Color c = Color(r >> 1);
        const int king = p.kingSquare[c], rook = p.castleRooks.square[r];
        const bool kingSide = (r & 1) == 0;
        EXPECT_TRUE(rankOf(king) == (c == White ? 0 : 7) && rankOf(rook) == rankOf(king) &&
                    p.board[rook] == WhiteRook + c && (kingSide ? rook > king : rook < king))
            << "castling right " << (1 << r) << " without its pieces: " << context;
    }
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

struct WalkCounters {
    uint64_t nodes = 0, inCheck = 0, quietChecks = 0, castles = 0;
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
            const bool quiet = (moveKind(m) == KindNormal || moveKind(m) == KindDoublePush) &&
                               p.board[moveTo(m)] == Empty;
            if (quiet && givesCheck(p, m)) expected.push_back(m);
            ASSERT_EQ(p.stack, entry);  // givesCheck may make and unmake: all is put back
        }
        counters.quietChecks += expected.size();
        EXPECT_EQ(found, sorted(expected)) << "quiet checks differ, key " << p.key;
    }

    // The picker yields every legal move once, whatever its hints: a hash move of this node,
    // killers that a sibling left; also when it orders quiet moves by continuation history.
    entry->hashMove = legal.empty() ? 0 : legal[legal.size() / 2];
    MovePicker picker;
    startPicker(picker, p, entry->inCheck, true);
    std::vector<Move> picked;
    while (const Move m = NextMove<SpecifiedPolicy>(picker)) picked.push_back(m);
    EXPECT_EQ(sorted(picked), sorted(legal)) << "picked moves differ, key " << p.key;
    static HistoryTable history;
    static ContinuationRow continuation[2];
    history[WhiteKnight][21] = 900;
    continuation[1][BlackPawn][40] = -700;
    const HistoryTable* searchHistory = p.history;
    p.history = &history;
    startPicker(picker, p, entry->inCheck, true);
    picker.continuation[0] = &continuation[0];
    picker.continuation[1] = &continuation[1];
    picked.clear();
    while (const Move m = NextMove<NetworkPolicy>(picker)) picked.push_back(m);
    p.history = searchHistory;
    EXPECT_EQ(sorted(picked), sorted(legal)) << "picked moves differ, key " << p.key;
    if (!legal.empty() && legal.back() != entry->killer1) {  // as the search keeps them
        entry->killer2 = entry->killer1;
        entry->killer1 = legal.back();
    }

    for (Move m : legal) counters.castles += moveKind(m) == KindCastle;
    if (depth == 0) return;
    for (Move m : legal) {
        static Position before[4];
        before[depth] = p;
        UndoInfo undo;
        makeMove(p, undo, m);
        EXPECT_EQ(p.stack, nullptr);
        expectMatchesRebuild(p, describe(before[depth], m));
        EXPECT_EQ(p.keyHistory[p.keyCount - 2], before[depth].key);
        walk(p, entry + 1, depth - 1, counters);
        unmakeMove(p, undo, m);
        EXPECT_EQ(fields(p), fields(before[depth])) << "unmake of " << describe(before[depth], m);
        EXPECT_EQ(p.stack, entry);
        if (::testing::Test::HasFailure()) return;
    }
}

// Walks to the depth from every `step`-th position of the table, with distinct random
// piece-square values, so that make and unmake really have to keep the sum.
WalkCounters walkTable(const std::vector<SuitePosition>& table, size_t step, int depth) {
    static PackedScore saved[16][64];
    std::memcpy(saved, PieceSquareValue, sizeof saved);
    std::mt19937 rng(7);
    for (int code = WhitePawn; code <= BlackKing; ++code)
        for (int s = 0; s < 64; ++s)
            PieceSquareValue[code][s] = pack(int(rng() % 601) - 300, int(rng() % 601) - 300);
    static Position p;
    SearchStackEntry stack[8] = {};
    WalkCounters counters;
    for (size_t i = 0; i < table.size(); i += step) {
        const SuitePosition& line = table[i];
        loadFen(p, line.fen.c_str());
        expectMatchesRebuild(p, line.fen);
        walk(p, stack, depth, counters);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "in the walk from " << line.fen;
            break;
        }
    }
    std::memcpy(PieceSquareValue, saved, sizeof saved);
    return counters;
}

TEST(SuiteWalk, EveryNodeToDepthThreeKeepsFieldsGeneratorsAndChecksConsistent) {
    const WalkCounters counters = walkTable(perftSuite(), 1, 3);
    // The walk must really have visited check and quiet-check situations.
    EXPECT_GT(counters.nodes, 500000u);
    EXPECT_GT(counters.inCheck, 1000u);
    EXPECT_GT(counters.quietChecks, 1000u);
}

// The same from Chess960 positions: castlings with rooks and kings on any file, made,
// unmade, keyed and rebuilt (the rebuild learns the rook squares from the position).
TEST(SuiteWalk, EveryChess960NodeToDepthTwoKeepsFieldsGeneratorsAndChecksConsistent) {
    const WalkCounters counters = walkTable(chess960Table(), 2, 2);
    EXPECT_GT(counters.nodes, 150000u);
    EXPECT_GT(counters.castles, 1000u);
}

// In the tables' root positions, a word is valid exactly when the generators produce it.
void expectValidExactlyWhenGenerated(const std::vector<SuitePosition>& table, size_t step) {
    for (size_t i = 0; i < table.size(); i += step) {
        const SuitePosition& line = table[i];
        Position& p = setUp(line.fen.c_str());
        std::vector<bool> isGenerated(65536, false);
        for (Move m : generated(p, {GenCaptures, GenQuiets})) isGenerated[m] = true;
        for (uint32_t w = 0; w < 65536; ++w)
            ASSERT_EQ(isValidMove(p, Move(w)), isGenerated[w])
                << line.fen << " word " << std::hex << w;
    }
}

TEST(SuiteWalk, ValidityTestAcceptsExactlyTheGeneratedWords) {
    expectValidExactlyWhenGenerated(perftSuite(), 1);
}

TEST(SuiteWalk, ValidityTestAcceptsExactlyTheGeneratedChess960Words) {
    expectValidExactlyWhenGenerated(chess960Table(), 4);
}

}  // namespace
