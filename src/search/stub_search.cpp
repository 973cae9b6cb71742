// Placeholder until the search lands.
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/movegen.h"
#include "search/control.h"
#include "search/search.h"
#include "search/tt.h"

SearchStackEntry SearchStack[MaxPly];
uint64_t NodeCount;
int32_t SelDepth, IterationDepth, SoftStopAllowed, TimeTrouble, EasyMove, BestMoveChanged,
    PreviousScore;
double TimeFactor = 1.0;
SearchResult LastResult;
SearchLimits Limits;
int32_t controlMode, timeBudget, timeBudgetMax;
int64_t timeHardLimit;
int32_t HashMegabytes = 64, TrafficLimit = 2, TrafficDepth = 20;
SearchClock Clock;
int32_t SearchActive;
void (*InputPoll)();
SearchReporter Reporter;
TTEntry* tableBase;
uint64_t tableBytes, tableEntries, tableMask;
uint8_t tableGeneration;

bool IsDraw(const Position&) { return false; }
void initMovePicker() {}
void buildPruneTables() {}
void allocateTable(int32_t) {
    tableBytes = 1 << 20;
    tableEntries = tableBytes / 16;
    tableMask = tableEntries - 1;
    tableBase = static_cast<TTEntry*>(std::calloc(tableEntries, sizeof(TTEntry)));
}
void clearTable() { std::memset(tableBase, 0, tableBytes); }
void storeEntry(const Position&, Move, int, int, int, int) {}
Move probeMove(const Position&) { return 0; }
void startClock() {}
int checkTime() { return 0; }

// Plays the first legal move so that "go" always answers.
void SearchDriver(const Position& root) {
    Position p = root;
    SearchStackEntry& e = SearchStack[0];
    p.stack = &e;
    e.inCheck = isSquareAttacked(p, p.kingSquare[p.sideToMove], p.sideToMove ^ 1);
    e.pinned = pinnedPieces(p, p.sideToMove);
    MoveList l;
    clearList(l);
    generateMoves(GenCaptures, p, l);
    generateMoves(GenQuiets, p, l);
    PvLine pv{};
    for (int i = 0; i < l.count; ++i)
        if (isLegal(p, l.moveWords[i])) {
            pv.count = 1;
            pv.moves[0] = l.moveWords[i];
            break;
        }
    if (Reporter.bestMove) Reporter.bestMove(pv.count ? pv.moves[0] : 0, pv);
}
