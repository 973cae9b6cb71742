// The search: iterative deepening over the node searches, reporting through a front-end hook.
#pragma once

#include "board/position.h"
#include "search/policy.h"
#include "search/state.h"

// What the search prints goes through these; a null entry prints nothing. The front end
// supplies the protocol texts, the tools their own or none.
struct SearchReporter {
    // multiPv: the line's number when the search keeps several lines, else 0.
    void (*pv)(int score, int depthPlies, int selDepth, const PvLine& pv, int multiPv);
    void (*bestMove)(Move move, const PvLine& pv);
    void (*currentMove)(Move move, int number);
    void (*nodes)(bool force);
};
extern SearchReporter Reporter;

// One complete search of a copy of the position under the current limits, by every searching
// thread; prints its result.
void SearchDriver(const Position& p);

// Every thread's node count, iteration and last result as before a first search: each "go".
void resetSearchResults();
// Forgets what earlier searches left behind (table, history, killers, counters, last results),
// so that the next search depends on its position and limits alone: the bench, the tests and
// the "Clear Hash" button.
void clearSearchState();

// Start-up builders of the search's own tables.
void initMovePicker();    // the stage sequence and its two start indexes
void buildPruneTables();  // PruneLimitA, PruneLimitB, PruneLimitC
