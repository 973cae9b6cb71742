// The two node searches: the specified one, tuned for the hand-written evaluation, and the
// network's own. Both run the same node routines; what differs is a compile-time policy.
#pragma once

// Which search a "go" runs; chosen with the evaluation, before the search starts.
enum class SearchKind { Specified, Network };
extern SearchKind ActiveSearch;

// The search the hand-written evaluation was tuned with, unchanged. Depths are in half-plies,
// margins in centipawns on the evaluation's scale.
struct SpecifiedPolicy {
    // Null-window nodes below this depth are shallow: late moves pruned, never reduced.
    static constexpr int ShallowBelow = 7;
    // Shallow nodes: razoring below beta - RazorMargin·depth, static null move above
    // beta + StaticNullMargin·depth, and a null move answered by quiescence from this depth.
    static constexpr int RazorMargin = 65;
    static constexpr int StaticNullMargin = 55;
    static constexpr int ShallowNullDepth = 4;
    // Null move in deeper nodes: the larger reduction once the evaluation clears beta by this.
    static constexpr int NullDeepMargin = 160;
    // Late quiet moves past the second count limit are dropped when eval + this < beta.
    static constexpr int LateMoveMargin = 335;
    // Internal deepening without a hash move, from these depths.
    static constexpr int CutDeepeningDepth = 10;
    static constexpr int PvDeepeningDepth = 8;
    // Quiescence generates no capture that cannot lift eval to beta: the gap that allows every
    // target, and those past which pawns, then minor pieces, then rooks leave the targets,
    // with the best score each removal assumes.
    static constexpr int DeltaAll = 150;
    static constexpr int DeltaPawnGain = 95;
    static constexpr int DeltaMinors = 498;
    static constexpr int DeltaMinorGain = 308;
    static constexpr int DeltaRooks = 760;
    static constexpr int DeltaRookGain = 475;
    // A root move this far ahead of the second is an easy move for the time control.
    static constexpr int EasyMoveGap = 150;
    // History: zeroed at each search and moved by depth² within ±32000, or kept between
    // searches and moved towards the bonus's sign by a share of what is left to its bound
    // (so that it stays within it and old lessons fade).
    static constexpr bool GravityHistory = false;
    // Quiet moves ordered by their continuation history too.
    static constexpr bool ContinuationHistory = false;
    // Iterations from this depth search a window of ±AspirationDelta around the last score
    // first, widened on the side it fails by half again each time (0: the full window always).
    static constexpr int AspirationDepth = 0;
    static constexpr int AspirationDelta = 0;
};

// The network's search. It starts as the specified one and departs from it piece by piece,
// each piece kept where a match showed that it gains.
// A piece waiting for its screen is written but left off here. A screen's candidate is built
// with its own network policy (cmake -DTOLVO_SCREEN=tools/selfplay/screens/NAME.h).
#ifdef TOLVO_SCREEN_POLICY
#include TOLVO_SCREEN_POLICY
#else
struct NetworkPolicy : SpecifiedPolicy {};
#endif

// The bound of every history value under gravity, and the size of a fail-high's lesson by
// depth (half-plies).
constexpr int HistoryLimit = 16384;
inline int historyBonus(int depth) {
    const int plies = depth / 2;
    const int bonus = 32 * plies * plies + 64 * plies;
    return bonus < 1600 ? bonus : 1600;
}
template <class Value>
inline void historyGravity(Value& h, int bonus) {
    const int magnitude = bonus < 0 ? -bonus : bonus;
    h = Value(h + bonus - int(h) * magnitude / HistoryLimit);
}
