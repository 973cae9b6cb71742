// What every fuzz target asserts about the positions it reaches: a failed check aborts, so
// the fuzzer reports it like a crash and keeps the input that led to it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "board/position.h"

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The fields that make/unmake keep up incrementally agree with a rebuild from the board.
inline void checkDerivedFields(const Position& p) {
    Position rebuilt;
    std::memset(static_cast<void*>(&rebuilt), 0, sizeof rebuilt);
    std::memcpy(rebuilt.board, p.board, sizeof p.board);
    rebuilt.sideToMove = p.sideToMove;
    rebuilt.castleRights = p.castleRights;
    rebuilt.castleRooks = p.castleRooks;
    rebuilt.epSquare = p.epSquare;
    rebuilt.rule50 = p.rule50;
    derivePosition(rebuilt);
    for (int i = 0; i < 16; ++i) FUZZ_CHECK(rebuilt.bitboards[i] == p.bitboards[i]);
    FUZZ_CHECK(rebuilt.kingSquare[White] == p.kingSquare[White]);
    FUZZ_CHECK(rebuilt.kingSquare[Black] == p.kingSquare[Black]);
    FUZZ_CHECK(rebuilt.psqScore == p.psqScore);
    // The key with the position's own en-passant square, whatever rule set it.
    rebuilt.epSquare = p.epSquare;
    computeKeys(rebuilt);
    FUZZ_CHECK(rebuilt.key == p.key);
    FUZZ_CHECK(rebuilt.pawnKey == p.pawnKey);
    FUZZ_CHECK(rebuilt.materialKey == p.materialKey);
    FUZZ_CHECK(p.keyCount >= 1 && p.keyCount <= KeyHistorySize - KeyHistoryReserve);
    FUZZ_CHECK(p.keyHistory[p.keyCount - 1] == p.key);
}

inline bool samePosition(const Position& a, const Position& b) {
    return std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(a.bitboards, b.bitboards, sizeof a.bitboards) == 0 &&
           a.epSquare == b.epSquare && a.castleRights == b.castleRights && a.rule50 == b.rule50 &&
           std::memcmp(&a.castleRooks, &b.castleRooks, sizeof a.castleRooks) == 0 &&
           a.sideToMove == b.sideToMove && a.kingSquare[0] == b.kingSquare[0] &&
           a.kingSquare[1] == b.kingSquare[1] && a.key == b.key && a.pawnKey == b.pawnKey &&
           a.materialKey == b.materialKey && a.psqScore == b.psqScore && a.keyCount == b.keyCount;
}

// For a position the engine accepts: every legal move reads back from its own text, and
// making it keeps the position consistent and unmaking it restores the position exactly.
inline void checkMoves(const Position& original) {
    Position p = original;
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i) {
        const Move m = legal.moveWords[i];
        FUZZ_CHECK(isValidMove(p, m));
        FUZZ_CHECK(textToMove(p, moveToText(p, m)) == m);
        FUZZ_CHECK(textToMove(p, moveToText(p, m, true), true) == m);
        const Position before = p;
        UndoInfo undo;
        makeMove(p, undo, m);
        FUZZ_CHECK(!isSquareAttacked(p, p.kingSquare[p.sideToMove ^ 1], Color(p.sideToMove)));
        FUZZ_CHECK(p.keyCount == before.keyCount + 1 || before.keyCount == KeyHistorySize);
        Position after = p;
        after.keyCount = 1;
        after.keyHistory[0] = after.key;
        checkDerivedFields(after);
        unmakeMove(p, undo, m);
        FUZZ_CHECK(samePosition(p, before));
    }
}
