// Input read while a search runs, and the hold on "bestmove" while pondering or analysing.
#pragma once

// Size of a command line with its terminating NUL; longer lines are cut.
constexpr unsigned long LineBufferSize = 65536;

// Lets the engine's own loop read standard input during searches. Without it (tools, tests)
// nothing but the command loop's caller ever touches standard input.
void attachInput();
// True once the end of input was met during a search or a wait: the loop then ends.
bool inputEnded();

// Reads and dispatches one waiting line, never blocking when none waits.
void pollInput();
// Holds "bestmove" back until the GUI releases it: "ponderhit" or "stop" after "go ponder",
// "stop" after "go infinite". Meanwhile every line is dispatched as during the search.
void waitForRelease();
