// Protocol output: every line reaches the GUI whole, flushed as soon as it is complete.
#pragma once

#include <cstddef>

#define TOLVO_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))

// Formats like printf and flushes; every protocol line except the "info" lines goes here.
void sendText(const char* format, ...) TOLVO_PRINTF_FORMAT(1, 2);

// An "info" line assembled field by field and written in one piece.
struct OutputLine {
    char text[4096];
    size_t length;
};

void appendText(OutputLine& line, const char* format, ...) TOLVO_PRINTF_FORMAT(2, 3);
void sendLine(const OutputLine& line);
