// The line splitter every platform shares: standard input through a buffer of our own, so
// that the waiting-input test also sees lines an earlier read has already taken in.
#pragma once

#include <cstddef>

// Each platform's blocking read of standard input: the number of bytes read, or 0 at end of
// input or on an error.
size_t readInputBytes(char* buf, size_t size);

// True when bytes are buffered that no line has handed out yet, or the end of input was seen.
bool inputBufferedOrEnded();
