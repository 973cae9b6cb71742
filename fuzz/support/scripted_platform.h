// Standard input and the clock for the fuzz targets: lines come from the fuzzer's data, and
// the clock runs on a fixed step, so that every search (and every finding) replays exactly.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes the next reads deliver; the input ends after them.
void feedInput(const uint8_t* data, size_t size);
// Ends the input at once, as a GUI that closes the pipe does.
void endInput();
// True for a line that asks for a table above 8 MB. Tables up to 4 GB take up to seconds to
// clear, which would leave the fuzzer little time for anything else; the sizes themselves are
// covered by the protocol tests. The scripted input delivers such a line empty.
bool asksForLargeTable(const char* line);
// Everything written to standard output since the last call (the output is then emptied).
const char* takeOutput();
// The fuzz targets open no real path: every file the engine reads has these bytes (until the
// next call), or, with null, no file exists at all.
void setScriptedFile(const uint8_t* data, size_t size);
