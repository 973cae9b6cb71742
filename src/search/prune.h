// Selectivity of the node searches: extensions, and the move-count limits of late-move
// pruning.
#pragma once

#include "board/tables.h"
#include "search/see.h"
#include "search/state.h"

// Move counts beyond which late quiet moves are dropped, by depth in half-plies (0..255).
extern uint8_t PruneLimitA[256];
extern uint8_t PruneLimitB[256];
extern uint8_t PruneLimitC[256];

inline int pruneIndex(int depth) {
    return depth < 0 ? 0 : depth > 255 ? 255 : depth;
}

constexpr int32_t RecaptureExtension[2] = {0, 2};
constexpr int32_t PawnPushExtension[2][8] = {{0, 0, 0, 0, 0, 0, 2, 0}, {0, 0, 0, 0, 0, 0, 2, 0}};

// The entry of the ply before the node's own: a thread's entries are one array, and a node
// points the position at its own before it looks at its moves.
inline const SearchStackEntry& parentEntry(const Position& p) {
    return p.stack[-1];
}

// Extension and reducibility of a move that does not give check; the caller starts from
// extension 0 and reducible.
inline void ExtendMove(const Position& p, Move m, int pvNode, int ply, int& extension,
                       int& reducible) {
    const int to = moveTo(m);
    const int mover = p.board[moveFrom(m)];
    // Before the capture test: a Chess960 castling may end on its own rook's square.
    if (moveKind(m) == KindCastle) {
        extension = 0;
        reducible = 0;
        return;
    }
    if (p.board[to] != Empty) {
        if (ply == 0) {
            if (StaticExchange(p, m) >= 0) {
                extension = 2;
                reducible = 0;
                return;
            }
        } else if (uint32_t(to) == parentEntry(p).lastTacticalTo && StaticExchange(p, m) > 0) {
            extension = RecaptureExtension[pvNode];
            reducible = 0;
            return;
        }
    }
    if (isPawn(mover)) {
        const int side = int(p.sideToMove);
        if (!(PassedPawnMask[side][to] & p.bitboards[BlackPawn - side]) &&
            StaticExchange(p, m) >= 0) {
            const int relativeRank = side == White ? rankOf(to) : 7 - rankOf(to);
            extension = PawnPushExtension[pvNode][relativeRank];
            reducible = 0;
        }
    }
}

// Extension and reducibility of any move: a check is extended by a ply and never reduced.
inline void moveExtension(const Position& p, Move m, bool check, int pvNode, int ply,
                          int& extension, int& reducible) {
    extension = check ? 2 : 0;
    reducible = check ? 0 : 1;
    if (!check) ExtendMove(p, m, pvNode, ply, extension, reducible);
}
