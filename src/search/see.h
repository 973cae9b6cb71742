// Static exchange: the material a move wins or loses when both sides keep recapturing on
// its to-square with their least valuable piece.
#pragma once

#include "board/position.h"

extern const int32_t SeeValue[16];

int StaticExchange(const Position& p, Move m);
