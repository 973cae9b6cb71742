// "setoption" and "go": the engine's options, the limits of a search and its time budgets.
#pragma once

#include "board/position.h"

// "UCI_Chess960": castling is written and read as the king taking its own rook.
extern bool Chess960;

// Applies a "setoption" line. A new table size, thread count, evaluation or table clearing that
// arrives during a search waits for its end: the running search keeps what it is using.
void setOption(const char* line);
// Applies what setOption had to hold back; called when a search has ended.
void applyDeferredOptions();
// The evaluation of the next search and the search that goes with it: the network and its own
// search when "Use NNUE" is on and the strength is not limited, else the hand-written
// evaluation and the specified search. A change empties the table as "Clear Hash" does.
void selectEvaluation();

// Reads a "go" line into Limits (zeroed first); empties SearchMoves.
void parseGo(const char* line);
// Fills SearchMoves from the words after "searchmoves", for a position the search accepts:
// each legal move's text joins the list once, and the first other word ends it. False when
// the keyword is there but names no legal move (every move is then searched).
bool readSearchMoves(const char* line, Position& p);
// Control mode, time budgets and the per-search counters, just before the search starts.
void prepareSearch();
// Budgets of the side to move of the game position, from Limits.
void computeTimeBudget();

// Set while a "go" command runs, so that lines read during the search know it.
bool searchRunning();
void setGoRunning(bool running);
