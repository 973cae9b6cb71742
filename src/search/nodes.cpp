// The main search: the PV, cut, all and shallow node kinds.
#include "search/nodes.h"

#include "board/attacks.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "search/picker.h"
#include "search/prune.h"
#include "search/tt.h"

namespace {

// What a node needs of the table: its hash move, and a score it may cut off with.
struct Probe {
    Move move;
    bool cutoff;
    int score;
};

// Null-window nodes take the stored score when it is deep enough and its bound allows it.
inline Probe probeNode(const Position& p, int beta, int depth, int ply, bool mayCut) {
    Probe r{0, false, 0};
    TTEntry e;
    if (!probeEntry(p, e)) return r;
    r.move = e.move;
    if (mayCut && e.depth >= depth) {
        const int s = scoreFromTable(e.score, ply);
        if ((s < beta && (e.bound & 3)) || (s >= beta && (e.bound & 6))) {
            r.cutoff = true;
            r.score = s;
        }
    }
    return r;
}

// Pieces other than pawns and the king: without them a null move proves little.
inline bool hasPieces(const Position& p) {
    const int s = int(p.sideToMove);
    return (p.bitboards[s] ^ (p.bitboards[WhitePawn + s] | p.bitboards[WhiteKing + s])) != 0;
}

inline int floorLog2(int n) {
    return 31 - __builtin_clz(unsigned(n));
}

// The move loop of a node: its picker, the moves it has yielded, and the quiet ones among
// them, which lose history when a later move fails high.
struct MoveLoop {
    MovePicker picker;
    int count;
    int quietCount;
    Move quiets[MaxMoves];
};

// Sets up the node's stack entry and picker; returns the first move, 0 when there is none.
template <class P, bool InCheck>
[[gnu::always_inline]] inline Move firstMove(MoveLoop& loop, SearchThread& t, int ply,
                                             Move hashMove, bool deferLosingQuiets) {
    enterNode(t, ply, InCheck, hashMove);
    startPicker(loop.picker, t.position, InCheck, deferLosingQuiets);
    if constexpr (P::ContinuationHistory) {
        const PlayedMove one = t.played[ply + 1], two = t.played[ply];
        loop.picker.continuation[0] = &t.continuation[one.piece][one.to];
        loop.picker.continuation[1] = &t.continuation[two.piece][two.to];
    }
    loop.count = 0;
    loop.quietCount = 0;
    return NextMove<P>(loop.picker);
}

// The score of a node without moves: mated, or stalemate.
template <bool InCheck>
inline int noMoveScore(int ply) {
    return InCheck ? ply - MateScore : 0;
}

// What a node knows of a move before searching it. One step for every kind, so that counting
// the move, recording it as quiet or as the ply's last tactical move, and choosing its
// extension happen alike everywhere.
struct MoveFacts {
    bool check;
    bool quiet;
    int extension;  // half-plies
    int reducible;
};

template <int PvNode>
[[gnu::always_inline]] inline MoveFacts examineMove(SearchThread& t, Move m, int ply,
                                                    MoveLoop& loop) {
    Position& p = t.position;
    ++loop.count;
    MoveFacts f;
    f.check = givesCheck(p, m);
    f.quiet = !isTactical(p, m);
    if (f.quiet)
        loop.quiets[loop.quietCount++] = m;
    else
        t.stack[ply].lastTacticalTo = uint32_t(moveTo(m));
    moveExtension(p, m, f.check, PvNode, ply, f.extension, f.reducible);
    return f;
}

// A quiet move's lesson under gravity: its history and, for a policy that keeps them, its two
// continuation histories.
template <class P>
inline void teachQuiet(SearchThread& t, const MoveLoop& loop, Move m, int bonus) {
    const int piece = t.position.board[moveFrom(m)], to = moveTo(m);
    historyGravity(t.history[piece][to], bonus);
    if constexpr (P::ContinuationHistory) {
        historyGravity((*loop.picker.continuation[0])[piece][to], bonus);
        historyGravity((*loop.picker.continuation[1])[piece][to], bonus);
    }
}

// Killers and history learn from a fail-high; the table keeps its move.
template <class P>
inline void cutoff(SearchThread& t, int ply, Move m, bool quiet, const MoveLoop& loop, int depth,
                   int score) {
    const Position& p = t.position;
    if (quiet) {
        SearchStackEntry& e = t.stack[ply];
        if (m != e.killer1) {
            e.killer2 = e.killer1;
            e.killer1 = m;
        }
    }
    if constexpr (P::GravityHistory) {
        const int bonus = historyBonus(depth);
        if (quiet) teachQuiet<P>(t, loop, m, bonus);
        for (int i = 0; i < loop.quietCount - 1; ++i)
            teachQuiet<P>(t, loop, loop.quiets[i], -bonus);
    } else {
        const int bonus = depth * depth;
        if (quiet) {
            int32_t& h = t.history[p.board[moveFrom(m)]][moveTo(m)];
            h = h + bonus > 32000 ? 32000 : h + bonus;
        }
        for (int i = 0; i < loop.quietCount - 1; ++i) {
            const Move q = loop.quiets[i];
            int32_t& h = t.history[p.board[moveFrom(q)]][moveTo(q)];
            h = h - bonus < -32000 ? -32000 : h - bonus;
        }
    }
    storeEntry(p, m, depth, ply, BoundLower, score);
}

// A null-window node's best score so far takes the move's score when higher; true when that
// fails high, after the cutoff has been recorded.
template <class P>
[[gnu::always_inline]] inline bool raisesBest(SearchThread& t, int ply, Move m, const MoveFacts& f,
                                              const MoveLoop& loop, int depth, int score, int& best,
                                              int beta) {
    if (score <= best) return false;
    best = score;
    if (best < beta) return false;
    cutoff<P>(t, ply, m, f.quiet, loop, depth, score);
    return true;
}

// The late-move rules of the null-window kinds: whether a move is dropped unsearched, else
// how much it is reduced. Returns -1 for a dropped move. Only quiet-stage moves of a node not
// in check, after three moves and once a move has escaped being mated, come under them.
template <class P, bool InCheck, bool Reduce>
[[gnu::always_inline]] inline int lateMove(const Position& p, Move m, const MoveFacts& f,
                                           const MoveLoop& loop, int best, int depth, int eval,
                                           int beta) {
    if (InCheck || !f.reducible || currentStage(loop.picker) < StageQuiets || best <= -MateBound ||
        loop.count < 4)
        return 0;
    const int d = pruneIndex(depth);
    const int count = loop.count;
    if (!f.quiet) return Reduce ? 2 : 0;
    if (count > PruneLimitA[d] || (count > PruneLimitB[d] && eval + P::LateMoveMargin < beta) ||
        (count > PruneLimitC[d] && StaticExchange(p, m) < 0))
        return -1;
    return Reduce ? floorLog2(count) : 0;
}

template <class P, bool InCheck>
int ShallowNode(SearchThread& t, int beta, int depth, int ply, uint32_t flags);
template <class P, bool InCheck, bool Cut>
int ScoutNode(SearchThread& t, int beta, int depth, int ply, uint32_t flags);

template <class P, bool InCheck>
int ShallowNode(SearchThread& t, int beta, int depth, int ply, uint32_t flags) {
    Position& p = t.position;
    if (depth < 2) return QuiescenceSearch<P>::scout[InCheck](t, beta, 0, ply);
    int alpha = beta - 1, decided;
    if (decidedOnEntry<true>(t, alpha, beta, ply, decided)) return decided;
    const Probe probe = probeNode(p, beta, depth, ply, true);
    if (probe.cutoff) return probe.score;
    int tablebaseScore, tablebaseBound;
    if (probeNodeTables(t, depth, ply, tablebaseScore, tablebaseBound) &&
        boundSettles(tablebaseScore, tablebaseBound, beta - 1, beta)) {
        storeEntry(p, 0, depth, ply, tablebaseBound, tablebaseScore);
        return tablebaseScore;
    }

    int eval = 0;
    if constexpr (!InCheck) {
        eval = evaluate(p, t.eval, ply);
        const int margin = beta - P::RazorMargin * depth;
        if (eval < margin && !isMateBound(beta)) {
            const int q = QuiescenceSearch<P>::scout[0](t, margin, 0, ply);
            if (q < margin) return q;
        }
        if (hasPieces(p)) {
            if ((flags & NullMoveAllowed) && !isMateBound(beta) &&
                eval - P::StaticNullMargin * depth >= beta)
                return eval - P::StaticNullMargin * depth;
            if (depth >= P::ShallowNullDepth && !isMateBound(beta) && (flags & NullMoveAllowed) &&
                eval >= beta) {
                UndoInfo undo;
                prepareNullChild(t, ply);
                makeNullMove(p, undo);
                const int score =
                    -QuiescenceSearch<P>::scout[sideToMoveInCheck(p)](t, 1 - beta, 0, ply + 1);
                unmakeNullMove(p, undo);
                if (score >= beta) return score;
            }
        }
    }

    MoveLoop loop;
    Move m = firstMove<P, InCheck>(loop, t, ply, probe.move, false);
    if (!m) return noMoveScore<InCheck>(ply);
    UndoInfo undo;
    int best = NoScore;
    for (; m; m = NextMove<P>(loop.picker)) {
        const MoveFacts f = examineMove<0>(t, m, ply, loop);
        if (lateMove<P, InCheck, false>(p, m, f, loop, best, depth, eval, beta) < 0) continue;

        prepareChild(t, ply, m);
        makeMove(p, undo, m);
        const int score = -MainSearch<P>::shallow[f.check](t, 1 - beta, depth - 2 + f.extension,
                                                           ply + 1, AnyNode);
        unmakeMove(p, undo, m);
        if (raisesBest<P>(t, ply, m, f, loop, depth, score, best, beta)) return score;
    }
    storeEntry(p, 0, depth, ply, BoundUpper, best);
    return best;
}

template <class P, bool InCheck, bool Cut>
int ScoutNode(SearchThread& t, int beta, int depth, int ply, uint32_t flags) {
    Position& p = t.position;
    if (depth < P::ShallowBelow) return ShallowNode<P, InCheck>(t, beta, depth, ply, flags);
    int alpha = beta - 1, decided;
    if (decidedOnEntry<true>(t, alpha, beta, ply, decided)) return decided;
    const Probe probe = probeNode(p, beta, depth, ply, true);
    if (probe.cutoff) return probe.score;
    Move hashMove = probe.move;
    int tablebaseScore, tablebaseBound;
    if (probeNodeTables(t, depth, ply, tablebaseScore, tablebaseBound) &&
        boundSettles(tablebaseScore, tablebaseBound, beta - 1, beta)) {
        storeEntry(p, 0, depth, ply, tablebaseBound, tablebaseScore);
        return tablebaseScore;
    }

    int eval = 0;
    if constexpr (!InCheck) {
        eval = evaluate(p, t.eval, ply);
        if (hasPieces(p) && !isMateBound(beta) && (flags & NullMoveAllowed) && eval >= beta) {
            const int r = eval - P::NullDeepMargin >= beta ? 8 : 6;
            UndoInfo undo;
            prepareNullChild(t, ply);
            makeNullMove(p, undo);
            const int score = -MainSearch<P>::all[sideToMoveInCheck(p)](t, 1 - beta, depth - r - 2,
                                                                        ply + 1, NoNullMove);
            unmakeNullMove(p, undo);
            if (score >= beta) {
                // A position where passing still fails high is confirmed by a reduced search
                // of its own moves, which zugzwang would not survive.
                const int v = ScoutNode<P, false, true>(t, beta, depth - r - 2, ply, NoNullMove);
                if (v >= beta) {
                    storeEntry(p, 0, depth, ply, BoundLower, v);
                    return v;
                }
            }
        }
    }

    if (Cut && !hashMove && depth >= P::CutDeepeningDepth) {
        ScoutNode<P, InCheck, true>(t, beta, depth - 4, ply, NoNullMove);
        hashMove = probeMove(p);
    }

    MoveLoop loop;
    Move m = firstMove<P, InCheck>(loop, t, ply, hashMove, true);
    if (!m) return noMoveScore<InCheck>(ply);
    UndoInfo undo;
    int best = NoScore;
    for (; m; m = NextMove<P>(loop.picker)) {
        const MoveFacts f = examineMove<0>(t, m, ply, loop);
        const int newDepth = depth - 2 + f.extension;
        const int reduction = lateMove<P, InCheck, true>(p, m, f, loop, best, depth, eval, beta);
        if (reduction < 0) continue;

        // Cut nodes expect their children to fail low, and all nodes theirs to fail high.
        const ScoutSearch* child = Cut ? MainSearch<P>::all : MainSearch<P>::cut;
        prepareChild(t, ply, m);
        makeMove(p, undo, m);
        int score = -child[f.check](t, 1 - beta, newDepth - reduction, ply + 1, AnyNode);
        if (reduction > 0 && score >= beta)
            score = -child[f.check](t, 1 - beta, newDepth, ply + 1, AnyNode);
        unmakeMove(p, undo, m);
        if (raisesBest<P>(t, ply, m, f, loop, depth, score, best, beta)) return score;
    }
    storeEntry(p, 0, depth, ply, BoundUpper, best);
    return best;
}

template <class P, bool InCheck>
int PvNode(SearchThread& t, int alpha, int beta, int depth, int ply, uint32_t flags, PvLine& pv) {
    Position& p = t.position;
    if (depth < 2) return QuiescenceSearch<P>::pv[InCheck](t, alpha, beta, depth, ply, pv);
    int decided;
    if (decidedOnEntry<true>(t, alpha, beta, ply, decided)) return decided;
    Move hashMove = probeNode(p, beta, depth, ply, false).move;
    int tablebaseScore, tablebaseBound;
    if (probeNodeTables(t, depth, ply, tablebaseScore, tablebaseBound) &&
        boundSettles(tablebaseScore, tablebaseBound, alpha, beta)) {
        storeEntry(p, 0, depth, ply, tablebaseBound, tablebaseScore);
        return tablebaseScore;
    }

    if (!hashMove && depth >= P::PvDeepeningDepth) {
        PvNode<P, InCheck>(t, alpha, beta, depth - 4, ply, flags, pv);
        hashMove = probeMove(p);
    }

    MoveLoop loop;
    Move m = firstMove<P, InCheck>(loop, t, ply, hashMove, true);
    if (!m) return noMoveScore<InCheck>(ply);
    UndoInfo undo;
    PvLine child;
    int best = NoScore;
    Move bestMove = 0;
    int bound = BoundUpper;
    for (; m; m = NextMove<P>(loop.picker)) {
        const MoveFacts f = examineMove<1>(t, m, ply, loop);
        child.count = 0;
        prepareChild(t, ply, m);
        makeMove(p, undo, m);
        const int score = searchPvChild<P>(t, loop.count == 1, f.check, alpha, beta,
                                           depth - 2 + f.extension, ply, child);
        unmakeMove(p, undo, m);

        if (score > best) {
            best = score;
            if (score > alpha) {
                alpha = score;
                bound = BoundExact;
                bestMove = m;
                buildPv(pv, m, child);
                if (score >= beta) {
                    cutoff<P>(t, ply, m, f.quiet, loop, depth, score);
                    return score;
                }
            }
        }
    }
    storeEntry(p, bestMove, depth, ply, bound, best);
    return best;
}

}  // namespace

template <class P>
const PvSearch MainSearch<P>::pv[2] = {PvNode<P, false>, PvNode<P, true>};
template <class P>
const ScoutSearch MainSearch<P>::cut[2] = {ScoutNode<P, false, true>, ScoutNode<P, true, true>};
template <class P>
const ScoutSearch MainSearch<P>::all[2] = {ScoutNode<P, false, false>, ScoutNode<P, true, false>};
template <class P>
const ScoutSearch MainSearch<P>::shallow[2] = {ShallowNode<P, false>, ShallowNode<P, true>};

template struct MainSearch<SpecifiedPolicy>;
template struct MainSearch<NetworkPolicy>;
