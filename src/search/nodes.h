// The node searches, each in a not-in-check and an in-check variant: entry 0 of a table is
// for a side to move that is not in check, entry 1 for one that is.
#pragma once

#include "board/attacks.h"
#include "board/position.h"
#include "eval/eval.h"
#include "search/control.h"
#include "search/policy.h"
#include "search/state.h"
#include "search/threads.h"
#include "search/tt.h"
#include "tablebase/tablebase.h"

// Flags word of the null-window kinds: bit 0 allows a null move.
constexpr uint32_t NullMoveAllowed = 1;
constexpr uint32_t AnyNode = 0xFFFFFFFF;
constexpr uint32_t NoNullMove = 0xFFFFFFFE;

// Every node kind searches the position of the thread it runs on (t.position), which it
// changes and restores.
using PvSearch = int (*)(SearchThread& t, int alpha, int beta, int depth, int ply, uint32_t flags,
                         PvLine& pv);
using ScoutSearch = int (*)(SearchThread& t, int beta, int depth, int ply, uint32_t flags);
using PvQuiescence = int (*)(SearchThread& t, int alpha, int beta, int qdepth, int ply, PvLine& pv);
using ScoutQuiescence = int (*)(SearchThread& t, int beta, int qdepth, int ply);

// The node searches of one policy. Full-window node that returns its principal variation
// (caller empties pv); null-window nodes (window beta - 1..beta): expected to fail high,
// expected to fail low, and the kind that takes over from both near the horizon.
template <class Policy>
struct MainSearch {
    static const PvSearch pv[2];
    static const ScoutSearch cut[2];
    static const ScoutSearch all[2];
    static const ScoutSearch shallow[2];
};
// Below the horizon: null-window and full-window quiescence.
template <class Policy>
struct QuiescenceSearch {
    static const ScoutQuiescence scout[2];
    static const PvQuiescence pv[2];
};

// Both instances are made once, with the node routines (nodes.cpp, quiesce.cpp).
extern template struct MainSearch<SpecifiedPolicy>;
extern template struct MainSearch<NetworkPolicy>;
extern template struct QuiescenceSearch<SpecifiedPolicy>;
extern template struct QuiescenceSearch<NetworkPolicy>;

// A PV node's child, the move already made: the first with the full window, the others
// with a null window first and again with the full window when they beat alpha.
template <class Policy>
inline int searchPvChild(SearchThread& t, bool first, bool check, int alpha, int beta, int depth,
                         int ply, PvLine& child) {
    if (!first) {
        const int score = -MainSearch<Policy>::cut[check](t, -alpha, depth, ply + 1, AnyNode);
        if (score <= alpha) return score;
    }
    return -MainSearch<Policy>::pv[check](t, -beta, -alpha, depth, ply + 1, AnyNode, child);
}

// Counts the node; every 1024th node the main thread looks at the clock and the input, a
// helper at the stop flag, either of which may end the thread's search.
inline void countNode(SearchThread& t) {
    // Only this thread writes its count: a plain increment, made visible to the readers.
    const uint64_t n = t.nodeCount.load(std::memory_order_relaxed) + 1;
    t.nodeCount.store(n, std::memory_order_relaxed);
    if ((n & 1023) != 0) return;
    if (t.index == 0)
        checkTime();
    else if (helpersMustStop())
        std::longjmp(t.abortPoint, 1);
}

// Every node's first steps, quiescence included: counts the node and narrows the window to
// the mate scores still reachable from this ply. True, with `score`, when that decides the
// node: at the ply limit, when the narrowed window is empty, or in a drawn position.
// Null-window nodes pass beta - 1 as alpha.
template <bool CountsSelDepth>
[[gnu::always_inline]] inline bool decidedOnEntry(SearchThread& t, int& alpha, int& beta, int ply,
                                                  int& score) {
    Position& p = t.position;
    countNode(t);
    if (ply >= MaxPly) {
        score = evaluate(p, t.eval, ply);
        return true;
    }
    if (CountsSelDepth && ply > t.selDepth) t.selDepth = ply;
    if (alpha < ply - MateScore) alpha = ply - MateScore;
    if (beta > MateScore - ply) beta = MateScore - ply;
    score = alpha >= beta ? alpha : 0;
    return alpha >= beta || IsDraw(p);
}

// Points the position at the node's stack entry and fills what the legality tests, the
// generators and the picker read. Quiescence nodes stop here: the killers and the last
// tactical square of their ply stay as the main search left them.
[[gnu::always_inline]] inline void enterQuiescenceNode(SearchThread& t, int ply, bool inCheck) {
    Position& p = t.position;
    SearchStackEntry& e = t.stack[ply];
    p.stack = &e;
    e.inCheck = inCheck;
    e.pinned = pinnedPieces(p, Color(p.sideToMove));
    e.hashMove = 0;
}

// A main-search node also starts its ply's record of tactical moves afresh.
[[gnu::always_inline]] inline void enterNode(SearchThread& t, int ply, bool inCheck,
                                             Move hashMove) {
    enterQuiescenceNode(t, ply, inCheck);
    t.stack[ply].hashMove = hashMove;
    t.stack[ply].lastTacticalTo = NoSquare;
}

// Before a move of the search is made: the child's accumulator from this node's, when the
// network is in use. A null move's child shares this node's.
// The move is also recorded for the continuation history of the child's moves.
[[gnu::always_inline]] inline void prepareChild(SearchThread& t, int ply, Move m) {
    t.played[ply + 2] = PlayedMove{uint8_t(t.position.board[moveFrom(m)]), uint8_t(moveTo(m))};
    if (NetworkEnabled) networkChild(t.eval, ply, t.position, m);
}
[[gnu::always_inline]] inline void prepareNullChild(SearchThread& t, int ply) {
    t.played[ply + 2] = PlayedMove{Empty, 0};
    if (NetworkEnabled) networkNullChild(t.eval, ply);
}

// A node's answer from the tables, when they hold its position: a draw, or a win or a loss
// bound by the ply it is found at. Probed only right after a capture or a pawn move (the value
// does not count the fifty-move counter), deep enough and with few enough pieces. With the
// fifty-move rule a cursed win or a blessed loss is all but a draw.
inline bool probeNodeTables(SearchThread& t, int depth, int ply, int& score, int& bound) {
    const Position& p = t.position;
    if (TablebasePieces == 0 || p.rule50 != 0 || p.castleRights != 0 ||
        depth < 2 * SyzygyProbeDepth || popcount(occupancy(p)) > TablebasePieces)
        return false;
    Wdl wdl;
    if (!probeWdl(p, wdl)) return false;
    t.tablebaseHits.store(t.tablebaseHits.load(std::memory_order_relaxed) + 1,
                          std::memory_order_relaxed);
    int value = int(wdl);
    if (!Syzygy50MoveRule) value = value > 0 ? 2 : value < 0 ? -2 : 0;
    score = value == 2 ? TablebaseWin - ply : value == -2 ? ply - TablebaseWin : value;
    bound = value == 2 ? BoundLower : value == -2 ? BoundUpper : BoundExact;
    return true;
}
// Whether a bounded score settles a node of the window alpha..beta.
inline bool boundSettles(int score, int bound, int alpha, int beta) {
    return bound == BoundExact || (bound == BoundLower && score >= beta) ||
           (bound == BoundUpper && score <= alpha);
}

inline bool isMateBound(int beta) {
    return beta < -MateBound + 1 || beta > MateBound - 1;
}

inline bool isTactical(const Position& p, Move m) {
    // A Chess960 castling may end on its own rook's square: still a quiet move.
    return (p.board[moveTo(m)] != Empty && moveKind(m) != KindCastle) ||
           moveKind(m) == KindEnPassant || isPromotion(m);
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
