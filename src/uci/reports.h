// What the search tells the GUI: the "info" lines and the final "bestmove".
#pragma once

#include "search/search.h"
#include "search/state.h"
#include "uci/output.h"

// Whether the side to move of the searched position is in check; set before each search so
// that a root without legal moves is reported as mated or as stalemate.
extern bool rootInCheck;

// How the reports write moves: the castling rooks of the searched position and the
// "UCI_Chess960" value, both taken when the search starts, so that a "position" or
// "setoption" read during the search leaves its texts alone.
struct ReportMoveText {
    CastlingRooks rooks;
    bool chess960;
};
extern ReportMoveText reportMoveText;

// The "score" field: centipawns, or moves to mate with the sign of the side that mates.
void reportScore(OutputLine& line, int score);
// The "pv" field, ending in two blanks.
void reportPvMoves(OutputLine& line, const PvLine& pv);

// With multiPv above 0, the line's number follows the selective depth.
void reportPv(int score, int depthPlies, int selDepth, const PvLine& pv, int multiPv = 0);
// Unless forced, printed at most once every 1000 seconds.
void reportNodes(bool force);
void reportCurrentMove(Move move, int number);
// Held back while the engine ponders or analyses, then "bestmove" with its ponder move.
void reportBestMove(Move move, const PvLine& pv);

// The hooks the search prints through, filled with the reports above.
extern const SearchReporter ProtocolReporter;
