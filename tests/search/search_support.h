// Helpers of the search tests: searches under chosen limits, without input or reports.
#pragma once

#include "board/movetext.h"
#include "board/positions.h"
#include "search/control.h"
#include "search/search.h"
#include "search/state.h"

// Limits as a "go" would leave them, from a cleared search state, without input or reports.
inline void prepareTestSearch(int32_t mode) {
    clearSearchState();
    Limits = SearchLimits{};
    controlMode = mode;
    timeBudget = timeBudgetMax = 0;
    timeHardLimit = 0;
    TimeTrouble = 0;
    InputPoll = nullptr;
    Reporter = SearchReporter{};
}

// A complete search to a fixed depth in plies; the result of its last completed iteration.
inline SearchResult searchToDepth(const char* fen, int plies) {
    prepareTestSearch(ModeDepth);
    Limits.depth = uint16_t(plies);
    SearchDriver(setUp(fen));
    return mainThread().lastResult;
}

// The main thread set on a copy of the position, for calling the node searches directly.
inline SearchThread& threadOn(const Position& p) {
    SearchThread& t = mainThread();
    t.position = p;
    t.position.stack = &t.stack[0];
    t.position.history = &t.history;
    return t;
}
