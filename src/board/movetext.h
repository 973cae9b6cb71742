// Coordinate move text (e2e4, e7e8q) to and from move words.
#pragma once

#include "board/position.h"

// Writes into one static buffer that the next call overwrites; 0 is "a1a1".
const char* moveToText(Move m);
// The generated move of the position that matches the text, or 0. Reads at most five
// characters and stops at the end of the text.
Move textToMove(Position& p, const char* text);
