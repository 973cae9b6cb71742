// The searching threads: the main thread, and the helpers of a parallel search, which search
// the root beside it on copies of its position and share only the transposition table.
#pragma once

#include <atomic>

#include "search/state.h"

constexpr int MaxSearchThreads = 256;

// Makes the pool count searching threads (clamped to 1..MaxSearchThreads), the main thread
// included; the count - 1 helpers wait, blocked, for a search. Only between searches.
void setSearchThreads(int count);
int searchThreadCount();
// Thread 0 is the main thread.
SearchThread& searchThread(int index);
// Ends and joins every helper: before the process exits.
void shutdownSearchThreads();

// The driver's side of a search: startHelpers wakes every helper on a copy of the main thread's
// root, to search no deeper than maxDepth half-plies; stopHelpers raises the stop flag and
// returns once every helper is idle again, its result complete.
void startHelpers(int maxDepth);
void stopHelpers();

// Raised by stopHelpers; helpers look at it every 1024 of their nodes.
extern std::atomic<bool> HelperStop;
inline bool helpersMustStop() {
    return HelperStop.load(std::memory_order_relaxed);
}
