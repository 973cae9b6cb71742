// Helpers of the search tests: searches under chosen limits, without input or reports.
#pragma once

#include "board/fen.h"
#include "board/movetext.h"
#include "search/control.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tt.h"

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

inline Position& positionFromFen(const char* fen) {
    static Position p;
    loadFen(p, fen);
    return p;
}

// A complete search to a fixed depth in plies; the result of its last completed iteration.
inline SearchResult searchToDepth(const char* fen, int plies) {
    prepareTestSearch(ModeDepth);
    Limits.depth = uint16_t(plies);
    SearchDriver(positionFromFen(fen));
    return LastResult;
}

inline Move moveFromText(const char* fen, const char* text) {
    static Position p;
    loadFen(p, fen);
    return textToMove(p, text);
}
