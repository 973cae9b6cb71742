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
    const TTEntry* e = probeEntry(p);
    if (!e) return r;
    r.move = e->move;
    if (mayCut && e->depth >= depth) {
        const int s = scoreFromTable(e->score, ply);
        if ((s < beta && (e->bound & 3)) || (s >= beta && (e->bound & 6))) {
            r.cutoff = true;
            r.score = s;
        }
    }
    return r;
}

inline void enterNode(Position& p, int ply, bool inCheck, Move hashMove) {
    SearchStackEntry& e = SearchStack[ply];
    p.stack = &e;
    e.inCheck = inCheck;
    e.pinned = pinnedPieces(p, Color(p.sideToMove));
    e.hashMove = hashMove;
    e.lastTacticalTo = NoSquare;
}

// Pieces other than pawns and the king: without them a null move proves little.
inline bool hasPieces(const Position& p) {
    const int s = int(p.sideToMove);
    return (p.bitboards[s] ^ (p.bitboards[WhitePawn + s] | p.bitboards[WhiteKing + s])) != 0;
}

inline int floorLog2(int n) {
    return 31 - __builtin_clz(unsigned(n));
}

// Quiet moves tried at a node before the one that failed high.
struct QuietList {
    int count;
    Move moves[MaxMoves];
};

// Killers and history learn from a fail-high; the table keeps its move.
inline void cutoff(Position& p, int ply, Move m, bool quiet, const QuietList& quiets, int depth,
                   int score) {
    const int bonus = depth * depth;
    if (quiet) {
        SearchStackEntry& e = SearchStack[ply];
        if (m != e.killer1) {
            e.killer2 = e.killer1;
            e.killer1 = m;
        }
        int32_t& h = HistoryTable[p.board[moveFrom(m)]][moveTo(m)];
        h = h + bonus > 32000 ? 32000 : h + bonus;
    }
    for (int i = 0; i < quiets.count - 1; ++i) {
        const Move q = quiets.moves[i];
        int32_t& h = HistoryTable[p.board[moveFrom(q)]][moveTo(q)];
        h = h - bonus < -32000 ? -32000 : h - bonus;
    }
    storeEntry(p, m, depth, ply, BoundLower, score);
}

// The late-move rules: whether a move is dropped unsearched, else how much it is reduced.
// Returns -1 for a dropped move.
template <bool Reduce>
inline int lateMove(const Position& p, Move m, bool quiet, int count, int depth, int eval,
                    int beta) {
    const int d = pruneIndex(depth);
    if (!quiet) return Reduce ? 2 : 0;
    if (count > PruneLimitA[d] || (count > PruneLimitB[d] && eval + 335 < beta) ||
        (count > PruneLimitC[d] && StaticExchange(p, m) < 0))
        return -1;
    return Reduce ? floorLog2(count) : 0;
}

template <bool InCheck>
int ShallowNode(Position& p, int beta, int depth, int ply, uint32_t flags);
template <bool InCheck, bool Cut>
int ScoutNode(Position& p, int beta, int depth, int ply, uint32_t flags);

template <bool InCheck>
int ShallowNode(Position& p, int beta, int depth, int ply, uint32_t flags) {
    if (depth < 2) return Quiesce[InCheck](p, beta, 0, ply);
    countNode();
    if (ply >= MaxPly) return evaluate(p);
    if (ply > SelDepth) SelDepth = ply;
    const int alphaBound = ply - MateScore > beta - 1 ? ply - MateScore : beta - 1;
    if (beta > MateScore - ply) beta = MateScore - ply;
    if (alphaBound >= beta) return alphaBound;
    if (IsDraw(p)) return 0;
    const Probe probe = probeNode(p, beta, depth, ply, true);
    if (probe.cutoff) return probe.score;

    int eval = 0;
    if constexpr (!InCheck) {
        eval = evaluate(p);
        const int margin = beta - 65 * depth;
        if (eval < margin && !isMateBound(beta)) {
            const int q = Quiesce[0](p, margin, 0, ply);
            if (q < margin) return q;
        }
        if (hasPieces(p)) {
            if ((flags & NullMoveAllowed) && !isMateBound(beta) && eval - 55 * depth >= beta)
                return eval - 55 * depth;
            if (depth >= 4 && !isMateBound(beta) && (flags & NullMoveAllowed) && eval >= beta) {
                UndoInfo undo;
                makeNullMove(p, undo);
                const int score = -Quiesce[sideToMoveInCheck(p)](p, 1 - beta, 0, ply + 1);
                unmakeNullMove(p, undo);
                if (score >= beta) return score;
            }
        }
    }

    enterNode(p, ply, InCheck, probe.move);
    MovePicker mp;
    startPicker(mp, p, InCheck, false);
    Move m = NextMove(mp);
    if (!m) return InCheck ? ply - MateScore : 0;

    QuietList quiets;
    quiets.count = 0;
    UndoInfo undo;
    int best = NoScore;
    int count = 0;
    for (; m; m = NextMove(mp)) {
        ++count;
        const bool check = givesCheck(p, m);
        const bool quiet = !isTactical(p, m);
        if (quiet)
            quiets.moves[quiets.count++] = m;
        else
            SearchStack[ply].lastTacticalTo = uint32_t(moveTo(m));
        int extension = 0, reducible = 1;
        if (check) {
            extension = 2;
            reducible = 0;
        } else {
            ExtendMove(p, m, 0, ply, extension, reducible);
        }
        if (!InCheck && reducible && currentStage(mp) >= StageQuiets && best > -MateBound &&
            count >= 4 && lateMove<false>(p, m, quiet, count, depth, eval, beta) < 0)
            continue;

        makeMove(p, undo, m);
        const int score =
            -SearchShallow[check](p, 1 - beta, depth - 2 + extension, ply + 1, AnyNode);
        unmakeMove(p, undo, m);
        if (score > best) {
            best = score;
            if (best >= beta) {
                cutoff(p, ply, m, quiet, quiets, depth, score);
                return score;
            }
        }
    }
    storeEntry(p, 0, depth, ply, BoundUpper, best);
    return best;
}

template <bool InCheck, bool Cut>
int ScoutNode(Position& p, int beta, int depth, int ply, uint32_t flags) {
    if (depth < 7) return ShallowNode<InCheck>(p, beta, depth, ply, flags);
    countNode();
    if (ply >= MaxPly) return evaluate(p);
    if (ply > SelDepth) SelDepth = ply;
    const int alphaBound = ply - MateScore > beta - 1 ? ply - MateScore : beta - 1;
    if (beta > MateScore - ply) beta = MateScore - ply;
    if (alphaBound >= beta) return alphaBound;
    if (IsDraw(p)) return 0;
    const Probe probe = probeNode(p, beta, depth, ply, true);
    if (probe.cutoff) return probe.score;
    Move hashMove = probe.move;

    int eval = 0;
    if constexpr (!InCheck) {
        eval = evaluate(p);
        if (hasPieces(p) && !isMateBound(beta) && (flags & NullMoveAllowed) && eval >= beta) {
            const int r = eval - 160 >= beta ? 8 : 6;
            UndoInfo undo;
            makeNullMove(p, undo);
            const int score =
                -SearchAll[sideToMoveInCheck(p)](p, 1 - beta, depth - r - 2, ply + 1, NoNullMove);
            unmakeNullMove(p, undo);
            if (score >= beta) {
                // A position where passing still fails high is confirmed by a reduced search
                // of its own moves, which zugzwang would not survive.
                const int v = ScoutNode<false, true>(p, beta, depth - r - 2, ply, NoNullMove);
                if (v >= beta) {
                    storeEntry(p, 0, depth, ply, BoundLower, v);
                    return v;
                }
            }
        }
    }

    if (Cut && !hashMove && depth >= 10) {
        ScoutNode<InCheck, true>(p, beta, depth - 4, ply, NoNullMove);
        hashMove = probeMove(p);
    }

    enterNode(p, ply, InCheck, hashMove);
    MovePicker mp;
    startPicker(mp, p, InCheck, true);
    Move m = NextMove(mp);
    if (!m) return InCheck ? ply - MateScore : 0;

    QuietList quiets;
    quiets.count = 0;
    UndoInfo undo;
    int best = NoScore;
    int count = 0;
    for (; m; m = NextMove(mp)) {
        ++count;
        const bool check = givesCheck(p, m);
        const bool quiet = !isTactical(p, m);
        if (quiet)
            quiets.moves[quiets.count++] = m;
        else
            SearchStack[ply].lastTacticalTo = uint32_t(moveTo(m));
        int extension = 0, reducible = 1;
        if (check) {
            extension = 2;
            reducible = 0;
        } else {
            ExtendMove(p, m, 0, ply, extension, reducible);
        }
        const int newDepth = depth - 2 + extension;
        int reduction = 0;
        if (!InCheck && reducible && currentStage(mp) >= StageQuiets && best > -MateBound &&
            count >= 4) {
            reduction = lateMove<true>(p, m, quiet, count, depth, eval, beta);
            if (reduction < 0) continue;
        }

        // Cut nodes expect their children to fail low, and all nodes theirs to fail high.
        const ScoutSearch* child = Cut ? SearchAll : SearchCut;
        makeMove(p, undo, m);
        int score = -child[check](p, 1 - beta, newDepth - reduction, ply + 1, AnyNode);
        if (reduction > 0 && score >= beta)
            score = -child[check](p, 1 - beta, newDepth, ply + 1, AnyNode);
        unmakeMove(p, undo, m);
        if (score > best) {
            best = score;
            if (best >= beta) {
                cutoff(p, ply, m, quiet, quiets, depth, score);
                return score;
            }
        }
    }
    storeEntry(p, 0, depth, ply, BoundUpper, best);
    return best;
}

template <bool InCheck>
int PvNode(Position& p, int alpha, int beta, int depth, int ply, uint32_t flags, PvLine& pv) {
    if (depth < 2) return QuiescePv[InCheck](p, alpha, beta, depth, ply, pv);
    countNode();
    if (ply >= MaxPly) return evaluate(p);
    if (ply > SelDepth) SelDepth = ply;
    if (alpha < ply - MateScore) alpha = ply - MateScore;
    if (beta > MateScore - ply) beta = MateScore - ply;
    if (alpha >= beta) return alpha;
    if (IsDraw(p)) return 0;
    Move hashMove = probeNode(p, beta, depth, ply, false).move;

    if (!hashMove && depth >= 8) {
        PvNode<InCheck>(p, alpha, beta, depth - 4, ply, flags, pv);
        hashMove = probeMove(p);
    }

    enterNode(p, ply, InCheck, hashMove);
    MovePicker mp;
    startPicker(mp, p, InCheck, true);
    Move m = NextMove(mp);
    if (!m) return InCheck ? ply - MateScore : 0;

    QuietList quiets;
    quiets.count = 0;
    UndoInfo undo;
    PvLine child;
    int best = NoScore;
    Move bestMove = 0;
    int bound = BoundUpper;
    int count = 0;
    for (; m; m = NextMove(mp)) {
        ++count;
        const bool check = givesCheck(p, m);
        const bool quiet = !isTactical(p, m);
        if (quiet)
            quiets.moves[quiets.count++] = m;
        else
            SearchStack[ply].lastTacticalTo = uint32_t(moveTo(m));
        int extension = 2, reducible = 0;
        if (!check) {
            extension = 0;
            reducible = 1;
            ExtendMove(p, m, 1, ply, extension, reducible);
        }
        const int newDepth = depth - 2 + extension;

        child.count = 0;
        makeMove(p, undo, m);
        int score;
        if (count == 1) {
            score = -SearchPv[check](p, -beta, -alpha, newDepth, ply + 1, AnyNode, child);
        } else {
            score = -SearchCut[check](p, -alpha, newDepth, ply + 1, AnyNode);
            if (score > alpha)
                score = -SearchPv[check](p, -beta, -alpha, newDepth, ply + 1, AnyNode, child);
        }
        unmakeMove(p, undo, m);

        if (score > best) {
            best = score;
            if (score > alpha) {
                alpha = score;
                bound = BoundExact;
                bestMove = m;
                buildPv(pv, m, child);
                if (score >= beta) {
                    cutoff(p, ply, m, quiet, quiets, depth, score);
                    return score;
                }
            }
        }
    }
    storeEntry(p, bestMove, depth, ply, bound, best);
    return best;
}

}  // namespace

const PvSearch SearchPv[2] = {PvNode<false>, PvNode<true>};
const ScoutSearch SearchCut[2] = {ScoutNode<false, true>, ScoutNode<true, true>};
const ScoutSearch SearchAll[2] = {ScoutNode<false, false>, ScoutNode<true, false>};
const ScoutSearch SearchShallow[2] = {ShallowNode<false>, ShallowNode<true>};
