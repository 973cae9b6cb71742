// The node searches, each in a not-in-check and an in-check variant: entry 0 of a table is
// for a side to move that is not in check, entry 1 for one that is.
#pragma once

#include "board/position.h"
#include "search/control.h"
#include "search/state.h"

// Flags word of the null-window kinds: bit 0 allows a null move.
constexpr uint32_t NullMoveAllowed = 1;
constexpr uint32_t AnyNode = 0xFFFFFFFF;
constexpr uint32_t NoNullMove = 0xFFFFFFFE;

using PvSearch = int (*)(Position& p, int alpha, int beta, int depth, int ply, uint32_t flags,
                         PvLine& pv);
using ScoutSearch = int (*)(Position& p, int beta, int depth, int ply, uint32_t flags);
using PvQuiescence = int (*)(Position& p, int alpha, int beta, int qdepth, int ply, PvLine& pv);
using ScoutQuiescence = int (*)(Position& p, int beta, int qdepth, int ply);

// Full-window node that returns its principal variation (caller empties pv).
extern const PvSearch SearchPv[2];
// Null-window nodes (window beta - 1..beta): expected to fail high, expected to fail low,
// and the kind that takes over from both near the horizon.
extern const ScoutSearch SearchCut[2];
extern const ScoutSearch SearchAll[2];
extern const ScoutSearch SearchShallow[2];
// Below the horizon: null-window and full-window quiescence.
extern const ScoutQuiescence Quiesce[2];
extern const PvQuiescence QuiescePv[2];

// Counts the node; every 1024th node looks at the clock, which may end the search.
inline void countNode() {
    if ((++NodeCount & 1023) == 0) checkTime();
}

inline bool isMateBound(int beta) {
    return beta < -MateBound + 1 || beta > MateBound - 1;
}

inline bool isTactical(const Position& p, Move m) {
    return p.board[moveTo(m)] != Empty || moveKind(m) == KindEnPassant || isPromotion(m);
}

// Is the side to move in check? Asked after a move has been made.
bool sideToMoveInCheck(const Position& p);

// The line of a node: its move followed by at most 126 moves of the child's line.
inline void buildPv(PvLine& pv, Move m, const PvLine& child) {
    const int n = child.count < 126 ? child.count : 126;
    pv.moves[0] = m;
    for (int i = 0; i < n; ++i) pv.moves[i + 1] = child.moves[i];
    pv.count = uint16_t(n + 1);
}
