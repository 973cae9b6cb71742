// Quiescence: captures, and quiet checks on the first level, until the position is quiet.
#include "board/attacks.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "search/see.h"

bool sideToMoveInCheck(const Position& p) {
    return isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
}

namespace {

// Captures that cannot lift a failing score up to beta are not even generated: the
// opponent's cheap pieces leave the target set as the gap to beta grows.
template <class P>
inline Bitboard deltaTargets(const Position& p, int eval, int beta, int& best) {
    if (eval + P::DeltaAll >= beta) return AllSquares;
    const int them = int(p.sideToMove) ^ 1;
    Bitboard removed = p.bitboards[WhitePawn + them];
    if (p.epSquare < 64) removed |= Bitboard(1) << p.epSquare;
    best = eval + P::DeltaPawnGain;
    if (eval + P::DeltaMinors < beta) {
        removed |= p.bitboards[WhiteKnight + them] | p.bitboards[WhiteLightBishop + them] |
                   p.bitboards[WhiteDarkBishop + them];
        best = eval + P::DeltaMinorGain;
        if (eval + P::DeltaRooks < beta) {
            removed |= p.bitboards[WhiteRook + them];
            best = eval + P::DeltaRookGain;
        }
    }
    return ~removed;
}

template <class P, bool InCheck>
int QuiesceNode(SearchThread& t, int beta, int qdepth, int ply) {
    Position& p = t.position;
    int alpha = beta - 1, decided;
    if (decidedOnEntry<false>(t, alpha, beta, ply, decided)) return decided;

    MoveList list;
    clearList(list);
    UndoInfo undo;
    int best = NoScore;

    // Searches one move; true when it fails high.
    auto tryMove = [&](Move m, int childDepth) {
        prepareChild(t, ply, m);
        makeMove(p, undo, m);
        const int score =
            -QuiescenceSearch<P>::scout[sideToMoveInCheck(p)](t, 1 - beta, childDepth, ply + 1);
        unmakeMove(p, undo, m);
        if (score > best) best = score;
        return score >= beta;
    };

    if constexpr (InCheck) {
        enterQuiescenceNode(t, ply, true);
        generateMoves(GenEvasions, p, list);
        if (list.count == 0) return ply - MateScore;
        // A forced reply does not use up quiescence depth.
        const int childDepth = list.count == 1 ? qdepth + 1 : qdepth - 1;
        for (int i = 0; i < list.count; ++i)
            if (tryMove(list.moveWords[i], childDepth)) return best;
        return best;
    } else {
        const int eval = evaluate(p, t.eval, ply);
        if (eval >= beta) return eval;
        best = eval;
        enterQuiescenceNode(t, ply, false);

        generateMoves(GenCaptures, p, list, deltaTargets<P>(p, eval, beta, best));
        for (int i = 0; i < list.count; ++i) {
            const Move m = list.moveWords[i];
            if (!isLegal(p, m)) continue;
            if (SeeValue[p.board[moveFrom(m)]] > SeeValue[p.board[moveTo(m)]] &&
                StaticExchange(p, m) < 0)
                continue;
            if (tryMove(m, qdepth - 1)) return best;
        }
        if (qdepth < 0) return best;

        clearList(list);
        generateMoves(GenQuietChecks, p, list);
        for (int i = 0; i < list.count; ++i) {
            const Move m = list.moveWords[i];
            if (isLegal(p, m) && StaticExchange(p, m) >= 0 && tryMove(m, qdepth - 1)) return best;
        }
        return best;
    }
}

template <class P, bool InCheck>
int QuiescePvNode(SearchThread& t, int alpha, int beta, int qdepth, int ply, PvLine& pv) {
    Position& p = t.position;
    int decided;
    if (decidedOnEntry<false>(t, alpha, beta, ply, decided)) return decided;

    MoveList list;
    clearList(list);
    UndoInfo undo;
    PvLine child;
    int best = NoScore;

    // Searches one move; true when it fails high.
    auto tryMove = [&](Move m) {
        child.count = 0;
        prepareChild(t, ply, m);
        makeMove(p, undo, m);
        const int score = -QuiescenceSearch<P>::pv[sideToMoveInCheck(p)](
            t, -beta, -alpha, qdepth - 1, ply + 1, child);
        unmakeMove(p, undo, m);
        if (score > best) {
            best = score;
            if (score > alpha) {
                alpha = score;
                buildPv(pv, m, child);
                if (score >= beta) return true;
            }
        }
        return false;
    };

    if constexpr (InCheck) {
        enterQuiescenceNode(t, ply, true);
        generateMoves(GenEvasions, p, list);
        if (list.count == 0) return ply - MateScore;
        if (list.count == 1) qdepth += 2;  // the child gets qdepth + 1
        for (int i = 0; i < list.count; ++i)
            if (tryMove(list.moveWords[i])) return best;
        return best;
    } else {
        const int eval = evaluate(p, t.eval, ply);
        if (eval >= beta) return eval;
        best = eval;
        if (eval > alpha) alpha = eval;
        enterQuiescenceNode(t, ply, false);

        generateMoves(GenCaptures, p, list);
        for (int i = 0; i < list.count; ++i) {
            const Move m = list.moveWords[i];
            if (isLegal(p, m) && tryMove(m)) return best;
        }
        if (qdepth >= 0) {
            clearList(list);
            generateMoves(GenQuietChecks, p, list);
            for (int i = 0; i < list.count; ++i) {
                const Move m = list.moveWords[i];
                if (isLegal(p, m) && StaticExchange(p, m) >= 0 && tryMove(m)) return best;
            }
        }
        return best;
    }
}

}  // namespace

template <class P>
const ScoutQuiescence QuiescenceSearch<P>::scout[2] = {QuiesceNode<P, false>, QuiesceNode<P, true>};
template <class P>
const PvQuiescence QuiescenceSearch<P>::pv[2] = {QuiescePvNode<P, false>, QuiescePvNode<P, true>};

template struct QuiescenceSearch<SpecifiedPolicy>;
template struct QuiescenceSearch<NetworkPolicy>;
