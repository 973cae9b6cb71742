// State the search shares with the board code and the protocol front end.
#pragma once

#include "board/position.h"

constexpr int MaxPly = 256;
constexpr int MateScore = 30000;  // mated at ply p scores p - MateScore
constexpr int MateBound = 29744;  // |score| above this is a mate score
constexpr int NoScore = -32000;   // no score found yet

struct PvLine {
    uint16_t count;
    Move moves[127];
};

struct SearchResult {
    Move move;
    int32_t score;
    int32_t depth;  // in plies
    int32_t selDepth;
    PvLine pv;
};

extern SearchStackEntry SearchStack[MaxPly];
extern uint64_t NodeCount;
extern int32_t SelDepth;
extern int32_t IterationDepth;  // half-plies
extern double TimeFactor;
extern int32_t SoftStopAllowed;
extern int32_t TimeTrouble;
extern int32_t EasyMove;
extern int32_t BestMoveChanged;
extern int32_t PreviousScore;
extern SearchResult LastResult;

// Fifty-move rule or a repetition since the last irreversible move. Never reads before
// the first key of the history, whatever the FEN's half-move counter claims.
bool IsDraw(const Position& p);
