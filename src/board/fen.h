// Building a position from FEN text, and the gate that says whether a position can be searched.
#pragma once

#include "board/position.h"

extern const char* const StartFen;

// Fills board, sideToMove, castleRights, epSquare and rule50 of a zeroed position. Lenient:
// never reads past the end of the text and never writes outside the board.
void parseFen(Position& p, const char* fen);
// Bitboards, king squares, keys, piece-square sum and the key history from the board; an
// en-passant square that no double push can explain becomes 64.
void derivePosition(Position& p);
void computeKeys(Position& p);
// Zero, parse and derive in one step: what the tools and tests use.
void loadFen(Position& p, const char* fen);

// False for positions the search must not touch: a missing or extra king, more than eight
// pawns or sixteen pieces of a side, a piece count that promotions could push past ten,
// a pawn on the first or last rank, or the side not to move in check.
bool isSearchable(const Position& p);
