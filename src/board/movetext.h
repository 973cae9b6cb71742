// Coordinate move text (e2e4, e7e8q) to and from move words.
#pragma once

#include "board/position.h"

// Castling text: with chess960 set, always the king taking its own rook (e1h1, b8a8); else
// a standard castling is the king's move (e1g1) and any other the king taking its rook.

// Writes into one buffer per thread that the thread's next call overwrites; 0 is "a1a1". The rooks
// are those of the position the move belongs to.
const char* moveToText(Move m, const CastlingRooks& rooks, bool chess960);
inline const char* moveToText(const Position& p, Move m, bool chess960 = false) {
    return moveToText(m, p.castleRooks, chess960);
}
// The generated move of the position that matches the text, or 0. Reads at most five
// characters and stops at the end of the text. With chess960 set only the king taking its
// rook means castling; else both forms do wherever no king move has the same squares.
Move textToMove(Position& p, const char* text, bool chess960 = false);
