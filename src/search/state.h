// State the search shares with the board code and the protocol front end, and the record each
// searching thread keeps of its own.
#pragma once

#include <atomic>
#include <csetjmp>

#include "board/movegen.h"
#include "board/position.h"
#include "eval/eval.h"

constexpr int MaxPly = 256;
static_assert(AccumulatorPlies >= MaxPly + 1, "a node at the ply limit still has an accumulator");
constexpr int MateScore = 30000;  // mated at ply p scores p - MateScore
constexpr int MateBound = 29744;  // |score| above this is a mate score
constexpr int NoScore = -32000;   // no score found yet
// Tablebase wins and losses have a band of their own below the mates, so that a proven mate
// still ranks above them: a win found at ply p scores TablebaseWin - p. Evaluations stay far
// below the band.
constexpr int TablebaseWin = MateBound - MaxPly - 1;
constexpr int TablebaseBound = TablebaseWin - MaxPly - 1;  // |score| above: tablebase or mate

struct PvLine {
    uint16_t count;
    Move moves[127];
};

// How well a quiet move (piece, destination) did after a move (piece, destination) one or two
// plies before it: the network search's continuation history.
using ContinuationRow = int16_t[16][64];
using ContinuationTable = ContinuationRow[16][64];
// A move as the continuation history sees it; a null move is piece Empty.
struct PlayedMove {
    uint8_t piece;
    uint8_t to;
};

struct SearchResult {
    Move move;
    int32_t score;
    int32_t depth;  // in plies
    int32_t selDepth;
    PvLine pv;
};

// Everything one searching thread owns. The main thread's record lives for the whole run;
// a helper's as long as the pool that made it. Other threads only ever read the two atomic
// counters while it searches, and its result once it has stopped.
struct alignas(64) SearchThread {
    // The counters share no cache line with anything another thread writes.
    std::atomic<uint64_t> nodeCount;
    std::atomic<uint64_t> tablebaseHits;
    std::atomic<int32_t> iterationDepth;  // half-plies, of the iteration being searched
    int32_t selDepth;
    int32_t index;     // 0 for the main thread
    int32_t maxDepth;  // a helper's deepest iteration, in half-plies
    // What the last iteration told the time control (only the main thread's is read).
    int32_t easyMove;
    int32_t bestMoveChanged;

    alignas(64) Position position;  // the copy of the root this thread searches
    MoveList rootMoves;
    SearchResult lastResult;  // of the last completed iteration, written in one step
    SearchStackEntry stack[MaxPly];
    HistoryTable history;
    // Entry ply + 2: the move made at that ply; the two before the root are null moves.
    PlayedMove played[MaxPly + 2];
    ContinuationTable continuation;
    EvalCaches eval;
    std::jmp_buf abortPoint;
    bool abortArmed;  // true only while the thread's recovery point is live
};

// The thread that reads the input, keeps the clock and prints the reports.
SearchThread& mainThread();
// Nodes of every searching thread since the last "go", and their tablebase probes that
// answered.
uint64_t totalNodes();
uint64_t totalTablebaseHits();

// The most pieces a node of the running search probes the tables with; 0 when it does not
// probe (no tables, or a limited strength). Set before the threads start.
extern int TablebasePieces;

// The search-wide values of the time control, written by the main thread alone.
extern double TimeFactor;
extern int32_t SoftStopAllowed;
extern int32_t TimeTrouble;
extern int32_t PreviousScore;

// Fifty-move rule or a repetition since the last irreversible move. Never reads before
// the first key of the history, whatever the FEN's half-move counter claims.
bool IsDraw(const Position& p);
