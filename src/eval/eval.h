// Static evaluation: the score of a position in centipawns from the side to move's view.
#pragma once

#include "board/position.h"
#include "eval/material.h"
#include "eval/network.h"
#include "eval/pawns.h"

void buildPieceSquareTables();  // fills PieceSquareValue
void buildSquareRule();         // the pawn-race table; needs the geometry tables

struct ScoreCacheEntry {
    uint32_t check;  // upper half of the position key
    int32_t score;   // from White's view
};
constexpr int ScoreCacheSize = 65536;

// One accumulator per ply of a search, the root's included, and a ply beyond the deepest
// node that makes a move.
constexpr int AccumulatorPlies = 257;

// The network's state along the line a search is on: at[ply] is the accumulator of the
// position at that ply (a null move's child shares its parent's).
struct NetworkStack {
    Accumulator acc[AccumulatorPlies];
    const Accumulator* at[AccumulatorPlies];
    Accumulator scratch;  // positions evaluated outside a search, and the checks
    uint64_t checked;     // evaluations checked against a rebuild (checking builds)
};

// What the evaluation remembers between calls: scores by position, pawn structures and
// material configurations, and the network's accumulators. Each searching thread has a set
// of its own, so no entry is ever written by two threads; the caches live as long as their
// owner. The scores are only ever those of the evaluation in use: a set that was filled under
// another one empties its scores before its next use.
struct EvalCaches {
    ScoreCacheEntry scores[ScoreCacheSize];
    uint32_t scoresOf;  // the EvaluationId the scores were computed under
    PawnTable pawns;
    MaterialTable material;
    NetworkStack network;
};
// The set of callers outside the search: the tools and the tests.
extern EvalCaches ToolEvalCaches;

// The evaluation in use: the hand-written one (the default), or the network. Changed only
// between searches; every change gives a new EvaluationId.
extern bool NetworkEnabled;
extern uint32_t EvaluationId;
// False, changing nothing, when asked to enable the network before any was installed.
bool enableNetwork(bool on);
// The network evaluate() uses when it is enabled: the embedded one from start-up, until another
// is installed (a copy is taken).
extern Network ActiveNetwork;
inline const Network& currentNetwork() {
    return ActiveNetwork;
}
void installNetwork(const Network& net);
// Validates and installs the embedded network; false, with the reason, if it is not one (the
// network in use stays).
bool installEmbeddedNetwork(const char*& reason);

// Full score, no window, no tempo, through the given caches. Assumes a position that passes
// isSearchable(). With the network enabled the accumulator is computed from scratch.
int evaluate(Position& p, EvalCaches& caches = ToolEvalCaches);
// The search's evaluation of the node at `ply`, whose accumulator the search has kept up with
// the calls below.
int evaluate(Position& p, EvalCaches& caches, int ply);

// The search's side of the network, called only at the search's own moves and only while the
// network is enabled: the root's accumulator from scratch when a thread starts searching, a
// child's from its parent's and the move (before the move is made), a null move's child the
// parent's own. Unmaking a move needs nothing.
inline void networkRoot(EvalCaches& c, const Position& root) {
    refreshAccumulator(currentNetwork(), root, c.network.acc[0]);
    c.network.at[0] = &c.network.acc[0];
}
inline void networkChild(EvalCaches& c, int ply, const Position& before, Move m) {
    updateAccumulator(currentNetwork(), *c.network.at[ply], c.network.acc[ply + 1], before, m);
    c.network.at[ply + 1] = &c.network.acc[ply + 1];
}
inline void networkNullChild(EvalCaches& c, int ply) {
    c.network.at[ply + 1] = c.network.at[ply];
}

// The network's score of a position without the endgame rules, from scratch: tools and tests.
int networkScore(const Position& p, EvalCaches& caches = ToolEvalCaches);
