// What a search runs under: the options, the limits of the running "go", the clock and the
// periodic check that ends a search.
#pragma once

#include <cstdint>

#include "board/movegen.h"

struct SearchLimits {
    int32_t ponder;
    int32_t infinite;
    int64_t wtime;
    int64_t btime;
    int64_t winc;
    int64_t binc;
    uint16_t movestogo;
    uint16_t depth;  // plies
    uint64_t nodes;
    int64_t movetime;
    uint16_t mate;
    int32_t stopRequested;
    int32_t ponderhitReceived;
};

// Control-mode bits.
enum : int32_t {
    ModeDepth = 1,
    ModeInfinite = 2,
    ModeMate = 4,
    ModeNodes = 8,
    ModePonder = 16,
    ModeMoveTime = 32,
    ModeClock = 64,
};

extern SearchLimits Limits;
extern int32_t controlMode;
extern int32_t timeBudget;     // ms
extern int32_t timeBudgetMax;  // ms
// Clock mode only: the search never runs past this many ms, whatever the time factor, so a
// margin of the remaining time is always left.
extern int64_t timeHardLimit;
// Fixed move time only: the move time less the move overhead, in ms.
extern int64_t moveTimeLimit;

// The root moves "go searchmoves" restricts the search to; empty when every legal move is
// searched.
extern MoveList SearchMoves;

// Option values.
extern int32_t HashMegabytes;  // default 64
extern int32_t TrafficLimit;   // 0 Ultrafast .. 4 Ignore, default 2
extern int32_t TrafficDepth;   // half-plies (the option's value doubled), default 20
extern int32_t MultiPv;        // lines reported and searched in full, 1..256, default 1
extern int32_t MoveOverhead;   // ms kept back on every move for lag, 0..5000, default 0
extern int32_t LimitStrength;  // "UCI_LimitStrength", default 0
extern int32_t StrengthElo;    // "UCI_Elo", clamped to the calibrated range
// The tablebase options; the tables themselves are loaded by "SyzygyPath" (tablebase/).
extern int32_t SyzygyProbeDepth;  // plies from which a node probes, 1..100, default 1
extern int32_t Syzygy50MoveRule;  // the ranks count the fifty-move counter, default 1
extern int32_t SyzygyProbeLimit;  // most pieces a node probes with, 0..7, default 7
extern int32_t ShowWdl;           // "UCI_ShowWDL": reports carry win/draw/loss, default 0

// The node cap of a search at limited strength, 0 otherwise: set when the search starts.
extern uint64_t StrengthNodeCap;

struct SearchClock {
    double wallStart;
    double wallNow;
    double wallElapsed;  // seconds
};
extern SearchClock Clock;

// Nonzero while SearchDriver runs: lines dispatched from inside the search read it.
extern int32_t SearchActive;

// The front end's input poll, run by checkTime; null when nobody reads input (tools, tests).
extern void (*InputPoll)();

void startClock();
// The main thread's periodic check. Returns 0, or ends the search by jumping back to the
// driver. Called outside a search it returns 1 where it would have ended one.
int checkTime();
