// Static evaluation: the score of a position in centipawns from the side to move's view.
#pragma once

#include "board/position.h"

void buildPieceSquareTables();  // fills PieceSquareValue
void buildSquareRule();         // the pawn-race table; needs the geometry tables

// Full score, no window, no tempo. Writes the evaluation, pawn and material caches.
// Assumes a position that passes isSearchable().
int evaluate(Position& p);
