// Static evaluation: the score of a position in centipawns from the side to move's view.
#pragma once

#include "board/position.h"
#include "eval/material.h"
#include "eval/pawns.h"

void buildPieceSquareTables();  // fills PieceSquareValue
void buildSquareRule();         // the pawn-race table; needs the geometry tables

struct ScoreCacheEntry {
    uint32_t check;  // upper half of the position key
    int32_t score;   // from White's view
};
constexpr int ScoreCacheSize = 65536;

// What the evaluation remembers between calls: scores by position, pawn structures and
// material configurations. Each searching thread has a set of its own, so no entry is ever
// written by two threads; the caches live as long as their owner and are never cleared.
struct EvalCaches {
    ScoreCacheEntry scores[ScoreCacheSize];
    PawnTable pawns;
    MaterialTable material;
};
// The set of callers outside the search: the tools and the tests.
extern EvalCaches ToolEvalCaches;

// Full score, no window, no tempo, through the given caches. Assumes a position that passes
// isSearchable().
int evaluate(Position& p, EvalCaches& caches = ToolEvalCaches);
