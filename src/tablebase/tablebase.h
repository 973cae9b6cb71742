// Syzygy endgame tablebases through the Fathom prober: loading a path's tables, and the values
// of positions and root moves in the engine's own terms.
#pragma once

#include <string>

#include "board/movegen.h"
#include "board/position.h"
#include "tablebase/files.h"

// A value for the side to move. Cursed wins and blessed losses are wins and losses that the
// fifty-move rule turns into draws.
enum class Wdl : int { Loss = -2, BlessedLoss = -1, Draw = 0, CursedWin = 1, Win = 2 };

// Scans the path list, hands the prober only the folders that passed (an empty list unloads
// every table) and returns the scan for the report. Not while any probe may run.
TableScan loadTablebases(const std::string& pathList);
// Pieces of the largest table loaded; 0 when none is.
int tablebaseLargest();

// The win/draw/loss value for a search node, false when the tables cannot answer: more pieces
// than the largest table, a castling right, a fifty-move counter above 0 (the value would not
// count it), or a table that is missing. Safe to call from any number of threads.
bool probeWdl(const Position& p, Wdl& wdl);

// The value counting the fifty-move counter, and the distance in plies to the next capture or
// pawn move of best play, signed like the value (0 for a draw). A side to move that is mated
// is a loss at 0, a stalemate a draw. False when the tables cannot answer (as probeWdl, less
// the counter). Reads the distance-to-zero tables: NOT thread-safe, one caller at a time.
bool probeDtz(const Position& p, Wdl& wdl, int& dtz);

// The root moves ranked by the tables. The rank runs from -1000 to 1000, higher better:
// - with distance-to-zero tables, a win the fifty-move counter leaves intact is 1000, a win
//   that needs d more plies to zero with c already on the counter 1000 - (d + c), a draw 0,
//   and losses mirror the wins (a loss the counter may yet save ranks above -1000);
// - with win/draw/loss tables only: 1000 win, 899 cursed win, 0 draw, -899, -1000.
// With the fifty-move rule off (useRule50 false) every win ranks 1000 and every loss -1000
// in the second scheme, and every win ranks 1000 in the first.
struct RootRanking {
    MoveList ranked;  // every legal move, its rank in scores
    MoveList best;    // the moves of the highest rank, in the order of ranked
    int bestRank = 0;
    bool byDtz = false;  // ranked with distance-to-zero tables (else with win/draw/loss ones)
};
// False when the tables cannot rank the root (more pieces than the largest table, a castling
// right, a table missing). The distance-to-zero tables are tried first, then the win/draw/loss
// ones. Leaves the position as it was. NOT thread-safe: rank the root once, before any helper
// thread starts probing, and hand every thread the result.
bool rankRootMoves(Position& p, bool useRule50, RootRanking& ranking);
