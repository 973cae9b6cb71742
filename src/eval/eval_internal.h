// Evaluation internals for the tools and tests: a traced evaluation and a cache reset.
#pragma once

#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/pieces.h"

struct EvalTrace {
    MaterialEntry material;
    PawnEntry pawns;
    PieceTermTrace pieces;
    PackedScore psq;
    PackedScore positional;  // piece-square sum + pawn score + piece terms
    int scale;               // after the endgame rules
    int blended;
    int scaled;
    int whiteScore;  // final score from White's view
};

// Computes the full score without consulting the score cache (the material and pawn tables of
// the tools' caches are used as usual) and records every step. Returns the score for the side
// to move.
int evaluateTraced(Position& p, EvalTrace& trace);

// Empties the tools' score, pawn and material caches, as at start-up.
void clearEvaluationCaches();
// Empties only the tools' score cache, leaving the pawn and material tables warm.
void clearScoreCache();
// Whether the tools' score cache holds a score for the position's key.
bool scoreCacheHolds(const Position& p);
