#include "board/perft.h"

#include "board/attacks.h"
#include "board/movegen.h"

namespace {

// Each ply gets its own search-stack entry, as in the search: the legality test and the
// evasion generator read the check state and the pins from it.
uint64_t perftPly(Position& p, SearchStackEntry* entry, int depth) {
    const Color us = Color(p.sideToMove);
    p.stack = entry;
    entry->inCheck = isSquareAttacked(p, p.kingSquare[us], us ^ 1);
    entry->pinned = pinnedPieces(p, us);

    MoveList list;
    clearList(list);
    if (entry->inCheck) {
        generateMoves(GenEvasions, p, list);
        if (depth == 1) return list.count;
    } else {
        generateMoves(GenCaptures, p, list);
        generateMoves(GenQuiets, p, list);
        if (depth == 1) {
            uint64_t n = 0;
            for (int i = 0; i < list.count; ++i) n += isLegal(p, list.moveWords[i]);
            return n;
        }
    }

    uint64_t nodes = 0;
    UndoInfo undo;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moveWords[i];
        if (!entry->inCheck && !isLegal(p, m)) continue;
        makeMove(p, undo, m);
        nodes += perftPly(p, entry + 1, depth - 1);
        unmakeMove(p, undo, m);
    }
    return nodes;
}

}  // namespace

uint64_t perft(Position& p, int depth) {
    if (depth <= 0) return 1;
    if (depth > MaxPerftDepth) depth = MaxPerftDepth;
    SearchStackEntry stack[MaxPerftDepth] = {};
    SearchStackEntry* const saved = p.stack;
    const uint64_t nodes = perftPly(p, stack, depth);
    p.stack = saved;
    return nodes;
}

void generateLegalMoves(Position& p, MoveList& legal) {
    SearchStackEntry entry = {};
    SearchStackEntry* const saved = p.stack;
    const Color us = Color(p.sideToMove);
    p.stack = &entry;
    entry.inCheck = isSquareAttacked(p, p.kingSquare[us], us ^ 1);
    entry.pinned = pinnedPieces(p, us);
    MoveList all;
    clearList(all);
    generateMoves(GenCaptures, p, all);
    generateMoves(GenQuiets, p, all);
    clearList(legal);
    for (int i = 0; i < all.count; ++i)
        if (isLegal(p, all.moveWords[i])) pushMove(legal, all.moveWords[i], all.scores[i]);
    p.stack = saved;
}
