// Iterative deepening: the driver, the root move loop and what they report.
#include <csetjmp>
#include <cstring>

#include "board/attacks.h"
#include "board/movegen.h"
#include "platform/platform.h"
#include "search/control.h"
#include "search/nodes.h"
#include "search/prune.h"
#include "search/root.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/tt.h"

SearchReporter Reporter;
SearchKind ActiveSearch = SearchKind::Specified;
int TablebasePieces;

namespace {

// The deepest iteration, in half-plies: 255 plies.
constexpr int DeepestIteration = 510;

// The main thread's lines, best first: those of the iteration being searched, and those of
// the last completed one, which the final report prints.
struct RootLine {
    Move move;
    int32_t score;
    PvLine pv;
};
constexpr int MaxLines = 256;
RootLine Lines[MaxLines];
RootLine CompletedLines[MaxLines];
int CompletedCount;
// The lines the running search keeps, and those it reports ("MultiPV" when it started): a
// search at limited strength keeps more lines than it reports, to pick among them.
int LinesWanted = 1;
int LinesReported = 1;

void reportLines(const RootLine* lines, int count, int depthPlies, int selDepth) {
    for (int i = 0; i < count; ++i)
        Reporter.pv(lines[i].score, depthPlies, selDepth, lines[i].pv, i + 1);
}

// Whether "go searchmoves" lets the root search the move.
bool listedForSearch(Move m) {
    if (SearchMoves.count == 0) return true;
    for (int i = 0; i < SearchMoves.count; ++i)
        if (SearchMoves.moveWords[i] == m) return true;
    return false;
}

// The root moves the tables rank best among those the search may play, when the tables hold
// the root: a won position is then won within the rule and a drawn one not lost, whatever the
// search makes of the others. Filled once by the main thread before the helpers start.
bool TablebaseRootRanked;
MoveList TablebaseRootMoves;

void rankRootByTablebases(Position& p, SearchThread& main) {
    TablebaseRootRanked = false;
    RootRanking ranking;
    if (!rankRootMoves(p, Syzygy50MoveRule != 0, ranking)) return;
    main.tablebaseHits.store(uint64_t(ranking.ranked.count), std::memory_order_relaxed);
    int best = -100000;
    for (int i = 0; i < ranking.ranked.count; ++i)
        if (listedForSearch(ranking.ranked.moveWords[i]) && ranking.ranked.scores[i] > best)
            best = ranking.ranked.scores[i];
    clearList(TablebaseRootMoves);
    for (int i = 0; i < ranking.ranked.count; ++i)
        if (listedForSearch(ranking.ranked.moveWords[i]) && ranking.ranked.scores[i] == best)
            pushMove(TablebaseRootMoves, ranking.ranked.moveWords[i], 0);
    TablebaseRootRanked = TablebaseRootMoves.count > 0;
}

bool keptByTablebases(Move m) {
    if (!TablebaseRootRanked) return true;
    for (int i = 0; i < TablebaseRootMoves.count; ++i)
        if (TablebaseRootMoves.moveWords[i] == m) return true;
    return false;
}

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
double iterationFactor(const SearchThread& t, int score, int previous, bool changed) {
    if (t.rootMoves.count == 1) return 0.03125;
    if (t.easyMove) return changed ? 0.25 : 0.125;
    if (score > 1000) return changed ? 0.5 : 0.25;
    if (-400 < score && score < previous - 50) return changed ? 4.0 : 2.0;
    if (-400 < score && score < previous - 20) return changed ? 2.0 : 1.5;
    if (previous + 50 < score && score < 400) return changed ? 2.5 : 2.0;
    if (previous + 20 < score && score < 400) return changed ? 1.5 : 1.0;
    return changed ? 1.25 : 1.0;
}

// Whether a line's score is a mate, won or lost, that the iteration of that many half-plies
// proved: no deeper iteration changes it.
bool mateProven(int score, int depth) {
    const int plies = MateScore - (score < 0 ? -score : score);
    return plies >= 0 && plies <= MateScore - MateBound && plies <= depth / 2;
}

// Whether an iteration's root score ends the search. Any mate for the side to move does,
// except in a mate search, which wants a mate in at most the asked number of moves and
// goes on past a longer one; a root without moves has nothing to find either way. With
// several lines reported, each of them must have its mate proven: a mate on line 1 leaves
// the other lines still to be deepened.
bool searchSettled(const SearchThread& t, int score, int depth) {
    if (!(controlMode & ModeMate) && LinesReported > 1 && t.rootMoves.count > 1) {
        const int k = LinesReported < t.rootMoves.count ? LinesReported : t.rootMoves.count;
        if (CompletedCount < k) return false;
        for (int i = 0; i < k; ++i)
            if (!mateProven(CompletedLines[i].score, depth)) return false;
        return true;
    }
    if (!(controlMode & ModeMate)) return score > MateBound;
    if (t.rootMoves.count == 0) return true;
    const int wanted = Limits.mate;
    return score > MateBound && (wanted >= 128 || MateScore - score <= 2 * wanted - 1);
}

// The thread's root entry and move list, before its first iteration.
template <class P>
void prepareRoot(SearchThread& t) {
    Position& p = t.position;
    SearchStackEntry& root = t.stack[0];
    p.stack = &root;
    root.inCheck = isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
    root.pinned = pinnedPieces(p, Color(p.sideToMove));
    // The root does not track its tactical moves: no recapture square for ply 1.
    root.lastTacticalTo = NoSquare;
    // A search may have ended by a jump with moves still made: the root's accumulator is
    // always computed afresh.
    if (NetworkEnabled) networkRoot(t.eval, p);
    t.selDepth = 0;
    t.played[0] = t.played[1] = PlayedMove{Empty, 0};
    BuildRootMoves(t, !P::GravityHistory);
}

// One iteration of the main thread: in a window around the last iteration's score where the
// policy asks for one and a single line is searched, so that most moves fail low at once; a
// score outside it is searched again with that side widened.
template <class P>
int aspirationSearch(SearchThread& t, int depth) {
    const bool window = P::AspirationDepth > 0 && depth >= P::AspirationDepth && LinesWanted == 1 &&
                        PreviousScore > -MateBound && PreviousScore < MateBound;
    if (!window) return RootSearch<P>(t, depth);
    int delta = P::AspirationDelta;
    int alpha = PreviousScore - delta, beta = PreviousScore + delta;
    bool changed = false;
    for (;;) {
        t.rootMoves.cursor = 0;
        const int score = RootSearch<P>(t, depth, alpha, beta);
        changed = changed || t.bestMoveChanged;
        if (score <= alpha && alpha > -MateScore) {
            beta = (alpha + beta) / 2;
            alpha = score - delta > -MateScore ? score - delta : -MateScore;
        } else if (score >= beta && beta < MateScore) {
            beta = score + delta < MateScore ? score + delta : MateScore;
        } else {
            t.bestMoveChanged = changed;
            return score;
        }
        delta += delta / 2;
    }
}

// The main thread's iterations: until checkTime jumps out, or the score settles the search.
template <class P>
void iterate(SearchThread& t) {
    prepareRoot<P>(t);
    Limits.ponderhitReceived = 0;

    double previousFactor = 1.0;
    PreviousScore = NoScore;
    int depth = 2;
    t.iterationDepth.store(depth, std::memory_order_relaxed);
    checkTime();
    for (;;) {
        SoftStopAllowed = TimeTrouble;
        t.rootMoves.cursor = 0;
        const int score = aspirationSearch<P>(t, depth);
        const double f = iterationFactor(t, score, PreviousScore, t.bestMoveChanged != 0);
        TimeFactor = (previousFactor + f) * 0.5;
        previousFactor = f;
        PreviousScore = score;
        SoftStopAllowed = 1;
        if (searchSettled(t, score, depth)) return;
        depth += 2;
        t.iterationDepth.store(depth, std::memory_order_relaxed);
        checkTime();
    }
}

// Where a helper's iterations go. Helpers must not all search the tree the main thread
// searches: odd-numbered helpers start a ply deeper and keep at least one ply ahead of the
// main thread, filling the table for its next iteration; even-numbered ones start beside it
// and deepen a ply at a time, so that the table's contents (and the races on it) send them
// through other parts of the same tree. At their depth limit they search the last depth
// again, helping the main thread through its own last iterations, until it stops them.
int firstHelperDepth(const SearchThread& t) {
    const int first = t.index % 2 ? 4 : 2;
    return first < t.maxDepth ? first : t.maxDepth;
}
int nextHelperDepth(const SearchThread& t, int depth) {
    int next = depth + 2;
    if (t.index % 2) {
        const int ahead = mainThread().iterationDepth.load(std::memory_order_relaxed) + 2;
        if (ahead > next) next = ahead;
    }
    return next < t.maxDepth ? next : t.maxDepth;
}

template <class P>
void helperIterate(SearchThread& t) {
    prepareRoot<P>(t);
    if (t.rootMoves.count == 0) return;
    for (int depth = firstHelperDepth(t);; depth = nextHelperDepth(t, depth)) {
        if (helpersMustStop()) return;
        t.iterationDepth.store(depth, std::memory_order_relaxed);
        t.rootMoves.cursor = 0;
        // Nothing deeper can beat a mate for the side to move.
        if (RootSearch<P>(t, depth) > MateBound) return;
    }
}

// The main thread's result, unless a helper completed a deeper iteration, within the depth
// limit of "go depth", whose best move scores higher. Several lines are the main thread's
// alone, so its line 1 is played.
const SearchResult& chosenResult() {
    const SearchResult* best = &mainThread().lastResult;
    if (LinesWanted > 1) return *best;
    const int depthLimit = (controlMode & ModeDepth) ? int(Limits.depth) : MaxPly;
    for (int i = 1; i < searchThreadCount(); ++i) {
        const SearchResult& r = searchThread(i).lastResult;
        if (r.move && r.depth <= depthLimit && r.depth > best->depth && r.score > best->score)
            best = &r;
    }
    return *best;
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

void BuildRootMoves(SearchThread& t, bool clearHistory) {
    Position& p = t.position;
    MoveList& rootMoves = t.rootMoves;
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
        if (isLegal(p, all.moveWords[i]) && listedForSearch(all.moveWords[i]) &&
            keptByTablebases(all.moveWords[i]))
            pushMove(rootMoves, all.moveWords[i], 0);

    if (clearHistory)
        for (auto& row : t.history)
            for (auto& h : row) h = 0;
    for (auto& e : t.stack) e.killer1 = e.killer2 = 0;
}

void StorePv(Position& p, const PvLine& pv, int index, Move m) {
    if (!isValidMove(p, m)) return;
    storeEntry(p, m, 0, 0, BoundNone, 0);
    UndoInfo undo;
    makeMove(p, undo, m);
    if (index + 1 < pv.count) StorePv(p, pv, index + 1, pv.moves[index + 1]);
    unmakeMove(p, undo, m);
}

template <class P>
int RootSearch(SearchThread& t, int depth, int windowAlpha, int windowBeta) {
    Position& p = t.position;
    MoveList& rootMoves = t.rootMoves;
    // Helpers search in silence and keep one line: only the main thread tells the GUI
    // anything, and only its lines are reported.
    const bool reports = t.index == 0;
    const bool infinite = reports && Limits.infinite != 0;
    const bool keepsLines = reports && LinesWanted > 1;
    const bool severalLines = reports && LinesReported > 1;
    RootLine helperLine;
    RootLine* const lines = reports ? Lines : &helperLine;
    const int wanted = reports ? LinesWanted : 1;
    const int k = wanted < rootMoves.count ? wanted : rootMoves.count;
    int filled = 0;
    // A move must beat the k-th line to take a line; while fewer lines exist, every move does.
    int alpha = windowAlpha;
    int top = NoScore, second = NoScore;
    PvLine child;
    UndoInfo undo;
    t.bestMoveChanged = 0;
    t.easyMove = 0;

    while (rootMoves.cursor < rootMoves.count) {
        const Move m = rootMoves.moveWords[rootMoves.cursor++];
        if (!m) break;
        const int n = rootMoves.cursor;
        if (reports && ShouldReport(depth, ReportCurrentMove))
            reportCurrentMove(m, n, depth >= 20 || (n == 1 && infinite));

        const bool check = givesCheck(p, m);
        int extension, reducible;
        moveExtension(p, m, check, 1, 0, extension, reducible);

        // Until the k lines exist every move gets the full window; after that a null window
        // at the k-th line's score first.
        const bool opensLine = filled < k;
        child.count = 0;
        prepareChild(t, 0, m);
        makeMove(p, undo, m);
        const int score = searchPvChild<P>(t, opensLine, check, alpha, windowBeta,
                                           depth - 2 + extension, 0, child);
        unmakeMove(p, undo, m);

        if (score > top) {
            second = top;
            top = score;
        } else if (score > second) {
            second = score;
        }
        if (!opensLine && score <= alpha) continue;

        // The move's line goes after the lines that score as much; when all k lines exist,
        // the last one gives way.
        int at = opensLine ? filled++ : k - 1;
        for (; at > 0 && lines[at - 1].score < score; --at) lines[at] = lines[at - 1];
        lines[at].move = m;
        lines[at].score = score;
        buildPv(lines[at].pv, m, child);
        if (filled == k)
            alpha = lines[k - 1].score > windowAlpha ? lines[k - 1].score : windowAlpha;
        const bool failsHigh = score >= windowBeta;
        if (at > 0) continue;

        if (n > 1) t.bestMoveChanged = 1;
        if (failsHigh) break;
        if (reports && score > windowAlpha && ShouldReport(depth, ReportNewBest)) {
            const bool force = depth >= 20 || infinite;
            reportCurrentMove(m, n, force);
            if (Reporter.nodes) Reporter.nodes(force);
            // Several lines are reported together, once the iteration has ranked them.
            if (!severalLines && Reporter.pv)
                Reporter.pv(score, depth / 2, t.selDepth, lines[0].pv, 0);
        }
    }

    static const PvLine NoLine{};
    const Move bestMove = filled ? lines[0].move : 0;
    const int best = filled ? lines[0].score : NoScore;
    const PvLine& pv = filled ? lines[0].pv : NoLine;
    if (top > second + P::EasyMoveGap) t.easyMove = 1;
    // The next iteration searches the lines first, in their order.
    for (int i = filled - 1; i >= 0; --i) MoveToFront(rootMoves, lines[i].move);
    rootMoves.cursor = 0;
    if (pv.count > 0 && isValidMove(p, pv.moves[0])) {
        storeEntry(p, pv.moves[0], 0, 0, BoundNone, 0);
        makeMove(p, undo, pv.moves[0]);
        if (pv.count > 1) StorePv(p, pv, 1, pv.moves[1]);
        unmakeMove(p, undo, pv.moves[0]);
    }
    // Every move failed low: the lines say nothing of the moves' order, and the last whole
    // iteration's result stays. A fail-high's move is sound, but its score only a bound.
    const bool failedLow = filled > 0 && best <= windowAlpha;
    if (failedLow) return best;
    if (reports && best < windowBeta && ShouldReport(depth, ReportIteration) && Reporter.pv) {
        if (severalLines && filled > 0)
            reportLines(lines, filled < LinesReported ? filled : LinesReported, depth / 2,
                        t.selDepth);
        else
            Reporter.pv(best, depth / 2, t.selDepth, pv, 0);
    }

    // One assignment: the result an abort reports is always a whole iteration's.
    t.lastResult = SearchResult{bestMove, best, depth / 2, t.selDepth, pv};
    if (keepsLines) {
        for (int i = 0; i < filled; ++i) CompletedLines[i] = lines[i];
        CompletedCount = filled;
    }
    return best;
}

void helperSearch(SearchThread& t) {
    if (setjmp(t.abortPoint) == 0) {
        t.abortArmed = true;
        if (ActiveSearch == SearchKind::Network)
            helperIterate<NetworkPolicy>(t);
        else
            helperIterate<SpecifiedPolicy>(t);
    }
    t.abortArmed = false;
}

void resetSearchResults() {
    for (int i = 0; i < searchThreadCount(); ++i) {
        SearchThread& t = searchThread(i);
        t.nodeCount.store(0, std::memory_order_relaxed);
        t.tablebaseHits.store(0, std::memory_order_relaxed);
        t.iterationDepth.store(0, std::memory_order_relaxed);
        t.lastResult = SearchResult{};
        t.lastResult.score = NoScore;
    }
}

void clearSearchState() {
    clearTable();
    tableGeneration = 1;
    resetSearchResults();
    for (int i = 0; i < searchThreadCount(); ++i) {
        SearchThread& t = searchThread(i);
        for (auto& row : t.history)
            for (auto& h : row) h = 0;
        std::memset(t.continuation, 0, sizeof t.continuation);
        for (auto& e : t.stack) e = SearchStackEntry{};
    }
    TimeFactor = 1.0;
}

void SearchDriver(const Position& position) {
    // A "go" read while a search runs must not start a second one inside it.
    if (SearchActive) return;
    SearchActive = 1;
    SearchThread& main = mainThread();
    LinesReported = MultiPv < 1 ? 1 : MultiPv > MaxLines ? MaxLines : MultiPv;
    LinesWanted = LinesReported;
    // Limited strength searches alone, so that its play depends neither on "Threads" nor on
    // the threads' races, to the node cap, keeping the lines its pick chooses from.
    const bool limited = LimitStrength != 0;
    const StrengthSetting strength = strengthSetting(StrengthElo);
    StrengthNodeCap = limited ? strength.nodeCap : 0;
    if (limited && strength.lines > LinesWanted) LinesWanted = strength.lines;
    CompletedCount = 0;
    main.position = position;
    main.position.stack = &main.stack[0];
    main.position.history = &main.history;
    // Limited strength never probes: its ratings were measured without tables.
    const int largest = limited ? 0 : tablebaseLargest();
    TablebasePieces = largest < SyzygyProbeLimit ? largest : SyzygyProbeLimit;
    TablebaseRootRanked = false;
    if (largest > 0) rankRootByTablebases(main.position, main);
    startClock();
    const bool depthMode = (controlMode & ModeDepth) && 2 * int(Limits.depth) < DeepestIteration;
    if (!limited) startHelpers(depthMode ? 2 * int(Limits.depth) : DeepestIteration);
    if (setjmp(main.abortPoint) == 0) {
        main.abortArmed = true;
        if (ActiveSearch == SearchKind::Network)
            iterate<NetworkPolicy>(main);
        else
            iterate<SpecifiedPolicy>(main);
    }
    main.abortArmed = false;
    // Whatever ended the search, no helper may still be writing when the result is read.
    stopHelpers();
    // Both are printed after every search, whatever the options, from one result.
    SearchResult result = chosenResult();
    if (limited && CompletedCount > 1) {
        int32_t scores[MaxLines];
        for (int i = 0; i < CompletedCount; ++i) scores[i] = CompletedLines[i].score;
        const RootLine& line =
            CompletedLines[pickLine(scores, CompletedCount, strength, nextStrengthRandom())];
        result.move = line.move;
        result.score = line.score;
        result.pv = line.pv;
    }
    if (Reporter.pv && LinesReported > 1 && CompletedCount > 0)
        reportLines(CompletedLines, CompletedCount < LinesReported ? CompletedCount : LinesReported,
                    result.depth, result.selDepth);
    else if (Reporter.pv)
        Reporter.pv(result.score, result.depth, result.selDepth, result.pv, 0);
    if (Reporter.bestMove) Reporter.bestMove(result.move, result.pv);
    SearchActive = 0;
}
