// Attack queries: attacked squares, attackers, pins, legality and checks of a move.
#pragma once

#include "board/position.h"

bool isSquareAttacked(const Position& p, int s, Color attacker);
Bitboard attackersTo(const Position& p, int s, Color attacker);
Bitboard sliderAttackersTo(const Position& p, Bitboard occ, int s, Color attacker);
Bitboard pinnedPieces(const Position& p, Color side);
// Both read p.stack (inCheck, pinned) and may make and unmake the move on p.
bool isLegal(Position& p, Move m);
bool givesCheck(Position& p, Move m);
