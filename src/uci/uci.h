// The command loop and the dispatcher of the protocol's commands.
#pragma once

// Runs one command line; also called for lines read while a search runs.
void dispatchCommand(const char* line);
// How "quit" ends the process: at once, with exit code 0. The fuzzer, which must go on,
// closes its scripted input instead.
extern void (*QuitProcess)();

// Reads and dispatches lines until the end of input; returns the exit code.
int commandLoop();
