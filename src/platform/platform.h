// The operating system beneath the engine: standard input, a monotonic millisecond clock,
// threads, and reading files and folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Learns once whether standard input is an interactive terminal or a pipe and sets the
// streams up accordingly. Returns true for a terminal.
bool setupStreams();

// Reads one line into buf (at most size - 1 characters, NUL-terminated), dropping the line
// feed and one carriage return before it; a longer line is cut and the rest discarded.
// Returns false at end of input or on an error, and keeps returning false afterwards.
bool readLine(char* buf, size_t size);

// True when a line, or at least some input, is waiting: bytes already buffered by readLine
// count too. Never blocks. End of input also counts as waiting (readLine then fails).
bool inputWaiting();

// Milliseconds from an arbitrary fixed origin (system start where the OS offers it);
// never goes backwards.
uint64_t tickCountMs();

// Gives the processor away for about ms milliseconds.
void sleepMs(int ms);

// A thread of the engine's own, as the system knows it.
struct ThreadHandle {
    uintptr_t value;
};
// Runs body(arg) on a new thread whose stack holds at least stackBytes; false when the system
// refuses the thread.
bool startThread(ThreadHandle& thread, void (*body)(void*), void* arg, size_t stackBytes);
// Waits until the thread's body has returned, and lets the system forget the thread.
void joinThread(ThreadHandle& thread);

// Reads the regular file at `path` (UTF-8; relative to the working directory) into buf, at most
// `capacity` bytes: `fileBytes` is the file's length, `got` what was read. Anything but a
// regular file (a FIFO, a device, a directory) is refused unread, so the call never blocks on
// a writer. Returns null, or why the file could not be read.
const char* readRegularFile(const char* path, unsigned char* buf, size_t capacity,
                            uint64_t& fileBytes, size_t& got);

// What separates the folders of a list of paths, as the system's own lists have it.
#ifdef _WIN32
constexpr char PathListSeparator = ';';
#else
constexpr char PathListSeparator = ':';
#endif
// Appends the names of the entries of the folder at `path` (UTF-8), "." and ".." left out, in
// no particular order. Returns null, or why the folder could not be read.
const char* listFolder(const char* path, std::vector<std::string>& names);
