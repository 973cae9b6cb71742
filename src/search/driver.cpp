// Iterative deepening: the driver, the root move loop and what they report.
#include <csetjmp>

#include "board/attacks.h"
#include "board/movegen.h"
#include "platform/platform.h"
#include "search/abort.h"
#include "search/control.h"
#include "search/nodes.h"
#include "search/prune.h"
#include "search/root.h"
#include "search/search.h"
#include "search/tt.h"

SearchReporter Reporter;

namespace {

// Survive the abort's jump, so they live outside the driver's frame.
Position RootPosition;
MoveList RootMoves;

// The current-move line is gated by time since the last one; the first gated line of the
// run prints, whatever the clock's origin.
bool CurrentMoveShown;
double LastCurrentMoveTime;

void reportCurrentMove(Move m, int number, bool force) {
    if (!Reporter.currentMove) return;
    const double now = double(tickCountMs()) / 1000.0;
    if (!force && CurrentMoveShown && !(now - LastCurrentMoveTime > 1000.0)) return;
    CurrentMoveShown = true;
    LastCurrentMoveTime = now;
    Reporter.currentMove(m, number);
}

// The time factor of an iteration: a lone move or a clear best move needs little time, a
// falling score or a changing best move more.
double iterationFactor(int score, int previous, bool changed) {
    if (RootMoves.count == 1) return 0.03125;
    if (EasyMove) return changed ? 0.25 : 0.125;
    if (score > 1000) return changed ? 0.5 : 0.25;
    if (-400 < score && score < previous - 50) return changed ? 4.0 : 2.0;
    if (-400 < score && score < previous - 20) return changed ? 2.0 : 1.5;
    if (previous + 50 < score && score < 400) return changed ? 2.5 : 2.0;
    if (previous + 20 < score && score < 400) return changed ? 1.5 : 1.0;
    return changed ? 1.25 : 1.0;
}

// Whether an iteration's root score ends the search. Any mate for the side to move does,
// except in a mate search, which wants a mate in at most the asked number of moves and
// goes on past a longer one; a root without moves has nothing to find either way.
bool searchSettled(int score) {
    if (!(controlMode & ModeMate)) return score > MateBound;
    if (RootMoves.count == 0) return true;
    const int wanted = Limits.mate;
    return score > MateBound && (wanted >= 128 || MateScore - score <= 2 * wanted - 1);
}

// Runs iterations until checkTime jumps out, or returns when the score settles the search.
void iterate() {
    Position& p = RootPosition;
    SearchStackEntry& root = SearchStack[0];
    p.stack = &root;
    root.inCheck = isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
    root.pinned = pinnedPieces(p, Color(p.sideToMove));
    // The root does not track its tactical moves: no recapture square for ply 1.
    root.lastTacticalTo = NoSquare;
    SelDepth = 0;
    Limits.ponderhitReceived = 0;
    BuildRootMoves(p, RootMoves);

    double previousFactor = 1.0;
    PreviousScore = NoScore;
    IterationDepth = 2;
    checkTime();
    for (;;) {
        SoftStopAllowed = TimeTrouble;
        BestMoveChanged = 0;
        EasyMove = 0;
        RootMoves.cursor = 0;
        const int score = RootSearch(p, RootMoves, IterationDepth);
        const double f = iterationFactor(score, PreviousScore, BestMoveChanged != 0);
        TimeFactor = (previousFactor + f) * 0.5;
        previousFactor = f;
        PreviousScore = score;
        SoftStopAllowed = 1;
        if (searchSettled(score)) return;
        IterationDepth += 2;
        checkTime();
    }
}

}  // namespace

bool ShouldReport(int depth, int kind) {
    if (Limits.infinite) return true;
    const bool deep = depth >= TrafficDepth;
    switch (TrafficLimit) {
        case 1:
            return kind == ReportIteration && deep;
        case 2:
            return kind != ReportCurrentMove && deep;
        case 3:
            return deep;
        case 4:
            return true;
        default:
            return false;
    }
}

void MoveToFront(MoveList& rootMoves, Move m) {
    rootMoves.cursor = 0;
    for (int i = 0; i < rootMoves.count; ++i) {
        if (rootMoves.moveWords[i] != m) continue;
        for (int j = i; j > 0; --j) {
            rootMoves.moveWords[j] = rootMoves.moveWords[j - 1];
            rootMoves.scores[j] = rootMoves.scores[j - 1];
        }
        rootMoves.moveWords[0] = m;
        return;
    }
}

void BuildRootMoves(Position& p, MoveList& rootMoves) {
    clearList(rootMoves);
    const Move hashMove = probeMove(p);
    MoveList all;
    clearList(all);
    generateMoves(GenCaptures, p, all);
    generateMoves(GenQuiets, p, all);
    if (isValidMove(p, hashMove)) {
        bool found = false;
        for (int i = 0; i < all.count && !found; ++i) found = all.moveWords[i] == hashMove;
        if (found) MoveToFront(all, hashMove);
    }
    for (int i = 0; i < all.count; ++i)
        if (isLegal(p, all.moveWords[i])) pushMove(rootMoves, all.moveWords[i], 0);

    for (auto& row : HistoryTable)
        for (auto& h : row) h = 0;
    for (auto& e : SearchStack) e.killer1 = e.killer2 = 0;
}

void StorePv(Position& p, const PvLine& pv, int index, Move m) {
    if (!isValidMove(p, m)) return;
    storeEntry(p, m, 0, 0, BoundNone, 0);
    UndoInfo undo;
    makeMove(p, undo, m);
    if (index + 1 < pv.count) StorePv(p, pv, index + 1, pv.moves[index + 1]);
    unmakeMove(p, undo, m);
}

int RootSearch(Position& p, MoveList& rootMoves, int depth) {
    int alpha = -MateScore;
    int best = NoScore;
    Move bestMove = 0;
    int top = NoScore, second = NoScore;
    PvLine pv;
    pv.count = 0;
    PvLine child;
    UndoInfo undo;
    const bool infinite = Limits.infinite != 0;

    while (rootMoves.cursor < rootMoves.count) {
        const Move m = rootMoves.moveWords[rootMoves.cursor++];
        if (!m) break;
        const int n = rootMoves.cursor;
        if (ShouldReport(depth, ReportCurrentMove))
            reportCurrentMove(m, n, depth >= 20 || (n == 1 && infinite));

        const bool check = givesCheck(p, m);
        int extension, reducible;
        moveExtension(p, m, check, 1, 0, extension, reducible);

        child.count = 0;
        makeMove(p, undo, m);
        const int score =
            searchPvChild(p, n == 1, check, alpha, MateScore, depth - 2 + extension, 0, child);
        unmakeMove(p, undo, m);
        if (n > 1 && score > alpha) BestMoveChanged = 1;

        if (score > top) {
            second = top;
            top = score;
        } else if (score > second) {
            second = score;
        }
        if (score > best) {
            best = alpha = score;
            bestMove = m;
            buildPv(pv, m, child);
            if (ShouldReport(depth, ReportNewBest)) {
                const bool force = depth >= 20 || infinite;
                reportCurrentMove(m, n, force);
                if (Reporter.nodes) Reporter.nodes(force);
                if (Reporter.pv) Reporter.pv(score, depth / 2, SelDepth, pv);
            }
        }
    }

    if (top > second + 150) EasyMove = 1;
    MoveToFront(rootMoves, bestMove);
    if (pv.count > 0 && isValidMove(p, pv.moves[0])) {
        storeEntry(p, pv.moves[0], 0, 0, BoundNone, 0);
        makeMove(p, undo, pv.moves[0]);
        if (pv.count > 1) StorePv(p, pv, 1, pv.moves[1]);
        unmakeMove(p, undo, pv.moves[0]);
    }
    if (ShouldReport(depth, ReportIteration) && Reporter.pv)
        Reporter.pv(best, depth / 2, SelDepth, pv);

    // One assignment: the result an abort reports is always a whole iteration's.
    LastResult = SearchResult{bestMove, best, depth / 2, SelDepth, pv};
    return best;
}

void clearSearchState() {
    clearTable();
    tableGeneration = 1;
    for (auto& row : HistoryTable)
        for (auto& h : row) h = 0;
    for (auto& e : SearchStack) e = SearchStackEntry{};
    NodeCount = 0;
    IterationDepth = 0;
    TimeFactor = 1.0;
    LastResult = SearchResult{};
    LastResult.score = NoScore;
}

void SearchDriver(const Position& position) {
    // A "go" read while a search runs must not start a second one inside it.
    if (SearchActive) return;
    SearchActive = 1;
    RootPosition = position;
    startClock();
    if (setjmp(AbortPoint) == 0) {
        AbortArmed = true;
        iterate();
    }
    AbortArmed = false;
    // Both are printed after every search, whatever the options.
    if (Reporter.pv)
        Reporter.pv(LastResult.score, LastResult.depth, LastResult.selDepth, LastResult.pv);
    if (Reporter.bestMove) Reporter.bestMove(LastResult.move, LastResult.pv);
    SearchActive = 0;
}
