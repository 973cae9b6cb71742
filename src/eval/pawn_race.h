// Rule of the square: from which squares the defending king catches a lone passed pawn.
#pragma once

#include "board/types.h"

// [pawn colour][pawn square][side to move]: king squares that catch the pawn.
extern Bitboard SquareRule[2][64][2];

// Does a king on k catch a white pawn on p when the defender moves first (t = 1)?
bool kingCatchesPawn(int k, int p, int t);
