#include "uci/output.h"

#include <cstdarg>
#include <cstdio>

void sendText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

void appendText(OutputLine& line, const char* format, ...) {
    size_t room = sizeof line.text - line.length;
    if (room <= 1) return;
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(line.text + line.length, room, format, args);
    va_end(args);
    // A field that does not fit is cut; the line stays terminated and within its buffer.
    if (written > 0) line.length += size_t(written) < room ? size_t(written) : room - 1;
}

void sendLine(const OutputLine& line) {
    std::fwrite(line.text, 1, line.length, stdout);
    std::fflush(stdout);
}
