// Move-path counting: proves the generators, legality tests and make/unmake against known
// counts, walking the tree the way the search does.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int MaxPerftDepth = 64;

// Number of legal move paths of the given length from p; p is left as it was.
uint64_t perft(Position& p, int depth);

struct MoveList;
// The legal moves of p: captures, then quiet moves, each filtered by the legality test.
// Uses its own search-stack entry and leaves p.stack as it was.
void generateLegalMoves(Position& p, MoveList& legal);
