// The game position and the "position" command that rebuilds it.
#pragma once

#include "board/position.h"

// The one game position; only "position" and "debugFen" change it, a search works on a copy.
extern Position globalPosition;

// Rebuilds p from a "position" line: "startpos" wins over "fen"; neither gives the empty board.
void setupPosition(Position& p, const char* line);
// The whole "position" command: set-up, then the moves after "moves" while they match.
void positionCommand(Position& p, const char* line);
