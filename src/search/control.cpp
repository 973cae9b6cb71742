#include "search/control.h"

#include <cstdint>

#include "platform/platform.h"
#include "search/state.h"
#include "search/strength.h"
#include "search/threads.h"

SearchLimits Limits;
int32_t controlMode;
int32_t timeBudget;
int32_t timeBudgetMax;
int64_t timeHardLimit;
int64_t moveTimeLimit;
MoveList SearchMoves;

int32_t HashMegabytes = 64;
int32_t TrafficLimit = 2;
int32_t TrafficDepth = 20;
int32_t MultiPv = 1;
int32_t MoveOverhead = 0;
int32_t SyzygyProbeDepth = 1;
int32_t Syzygy50MoveRule = 1;
int32_t SyzygyProbeLimit = 7;
int32_t ShowWdl = 0;
int32_t LimitStrength = 0;
int32_t StrengthElo = StrengthEloMax;
uint64_t StrengthNodeCap = 0;

SearchClock Clock;
int32_t SearchActive;
void (*InputPoll)();

namespace {

double wallClockSeconds() {
    return double(tickCountMs()) / 1000.0;
}

// Ends the running search; outside one, tells the caller that a limit was reached.
int stopSearch() {
    SearchThread& main = mainThread();
    if (main.abortArmed) std::longjmp(main.abortPoint, 1);
    return 1;
}

// A move time beyond 32 bits must not wrap into a negative limit that ends the search at once.
double moveTimeMs() {
    const int64_t t = moveTimeLimit;
    return double(t > INT32_MAX ? INT32_MAX : t < INT32_MIN ? INT32_MIN : int32_t(t));
}

}  // namespace

void startClock() {
    Clock.wallStart = Clock.wallNow = wallClockSeconds();
    Clock.wallElapsed = 0.0;
}

int checkTime() {
    Clock.wallNow = wallClockSeconds();
    Clock.wallElapsed = Clock.wallNow - Clock.wallStart;
    const double elapsed = Clock.wallElapsed;

    // The first iteration always completes: nothing is tested and no input is read.
    const int iterationDepth = mainThread().iterationDepth.load(std::memory_order_relaxed);
    if (iterationDepth <= 2) return 0;
    if (iterationDepth / 2 >= 256) return stopSearch();
    // A limited strength's cap holds in every mode: an analysis or a ponder search it ends
    // still holds its answer for "stop" or "ponderhit", as any search that ends early does.
    if (StrengthNodeCap && totalNodes() > StrengthNodeCap) return stopSearch();

    if (!(controlMode & ModeInfinite)) {
        if ((controlMode & ModeDepth) && iterationDepth > 2 * int(Limits.depth))
            return stopSearch();
        // Every thread's nodes count against the limit.
        if ((controlMode & ModeNodes) && totalNodes() > Limits.nodes) return stopSearch();
        // A mate search has no limit here: it ends when the driver has found its mate.
        if (Limits.ponderhitReceived) return stopSearch();

        const bool onClock = !Limits.ponder && (controlMode & ModeClock);
        if (onClock) {
            // The stretched budget could reach the whole remaining time; the hard limit keeps
            // a margin of the clock untouched.
            double hard = double(timeBudgetMax) * TimeFactor;
            if (double(timeHardLimit) < hard) hard = double(timeHardLimit);
            if (elapsed > hard / 1000.0) return stopSearch();
        }
        if (controlMode & ModeMoveTime) {
            // A fixed move time is a limit the match runner enforces: never run past it,
            // though a factor below one may end the search sooner.
            if (elapsed > moveTimeMs() / 1000.0) return stopSearch();
            if (elapsed > moveTimeMs() * TimeFactor / 1000.0) {
                if (SoftStopAllowed) return stopSearch();
            }
        } else if (onClock && elapsed > double(timeBudget) * TimeFactor / 1000.0 &&
                   SoftStopAllowed) {
            return stopSearch();
        }
    }

    if (InputPoll) InputPoll();
    if (Limits.stopRequested) return stopSearch();
    return 0;
}
