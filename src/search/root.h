// The root of the search: its move list, one iteration over it, and the report decisions.
#pragma once

#include "board/movegen.h"
#include "board/position.h"
#include "search/policy.h"
#include "search/state.h"

// Report kinds gated by the "Traffic" options.
enum ReportKind : int { ReportIteration = 0, ReportNewBest = 1, ReportCurrentMove = 2 };

// Every legal move of the thread's root, the table's move first; clears the thread's killers
// and, unless its search keeps it between searches, its history.
void BuildRootMoves(SearchThread& t, bool clearHistory);
// One iteration of the thread at the given depth (half-plies) over the window; records the
// thread's last result unless every move failed low. A move that fails high ends it. Only the
// main thread reports, and only scores inside the window.
template <class Policy>
int RootSearch(SearchThread& t, int depth, int windowAlpha = -MateScore,
               int windowBeta = MateScore);
// The move first, the others behind it in their old order; a move not in the list changes
// nothing but the cursor.
void MoveToFront(MoveList& rootMoves, Move m);
// Leaves the line from entry index on in the table as hash moves for the next iteration.
void StorePv(Position& p, const PvLine& pv, int index, Move m);
bool ShouldReport(int depth, int kind);

// A helper's whole search: iterations on its own root copy until the stop flag, its depth
// limit or a mate ends them.
void helperSearch(SearchThread& t);
