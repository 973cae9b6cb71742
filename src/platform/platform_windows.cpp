// Standard input of a Windows console or pipe, read with ReadFile into a buffer of our own:
// the "is input waiting?" test must also see lines that an earlier read has already taken
// out of the pipe, which PeekNamedPipe no longer counts.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

struct InputBuffer {
    char bytes[16384];
    size_t start;
    size_t end;
    bool ended;  // end of input or a read error: sticky, so a console's ^Z is final too
};
InputBuffer Input;

HANDLE InputHandle = nullptr;
DWORD InputType;  // a pipe, a file, a character device (the console among them)
bool InputIsConsole;

// Tools read standard input without setting the streams up first.
HANDLE inputHandle() {
    if (!InputHandle) {
        InputHandle = GetStdHandle(STD_INPUT_HANDLE);
        InputType = GetFileType(InputHandle);
    }
    return InputHandle;
}

// Refills the empty buffer; false once input has ended.
bool refill() {
    if (Input.ended) return false;
    DWORD n = 0;
    // A closed pipe fails with ERROR_BROKEN_PIPE; a console returns 0 bytes for ^Z.
    if (!ReadFile(inputHandle(), Input.bytes, DWORD(sizeof Input.bytes), &n, nullptr) || n == 0) {
        Input.ended = true;
        return false;
    }
    Input.start = 0;
    Input.end = n;
    return true;
}

// A console counts every key press and release, focus change and so on as an event; only a
// pressed Enter means that a whole line can be read without blocking the search.
bool consoleLineWaiting() {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(InputHandle, &count)) return true;
    if (count == 0) return false;
    INPUT_RECORD events[256];
    DWORD peeked = 0;
    if (!PeekConsoleInputW(InputHandle, events, 256, &peeked)) return true;
    for (DWORD i = 0; i < peeked; ++i) {
        const INPUT_RECORD& e = events[i];
        if (e.EventType == KEY_EVENT && e.Event.KeyEvent.bKeyDown &&
            e.Event.KeyEvent.uChar.UnicodeChar == L'\r')
            return true;
    }
    // More events than we looked at: a line this long is finished or nearly so.
    return count > peeked;
}

}  // namespace

bool setupStreams() {
    DWORD mode = 0;
    InputIsConsole = inputHandle() != nullptr && InputHandle != INVALID_HANDLE_VALUE &&
                     GetConsoleMode(InputHandle, &mode) != 0;
    if (InputIsConsole) {
        // Whole lines only: no window-size or mouse events in the input.
        SetConsoleMode(InputHandle, mode & ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
        FlushConsoleInputBuffer(InputHandle);
    } else {
        // A GUI on the other end of a pipe must see every line as soon as it is written.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    return InputIsConsole;
}

bool readLine(char* buf, size_t size) {
    if (size == 0) return false;
    size_t stored = 0;
    size_t total = 0;
    bool sawAny = false;
    bool sawNewline = false;
    while (!sawNewline) {
        if (Input.start == Input.end && !refill()) {
            if (!sawAny) return false;
            break;  // a last line without a line feed still counts
        }
        sawAny = true;
        const char* from = Input.bytes + Input.start;
        size_t available = Input.end - Input.start;
        const void* newline = std::memchr(from, '\n', available);
        size_t take = newline ? size_t(static_cast<const char*>(newline) - from) : available;
        size_t room = size - 1 - stored;
        size_t copy = take < room ? take : room;
        std::memcpy(buf + stored, from, copy);
        stored += copy;
        total += take;
        Input.start += take;
        if (newline) {
            ++Input.start;
            sawNewline = true;
        }
    }
    // A console and most Windows GUIs end lines with a carriage return and a line feed; the
    // carriage return is not part of the line. Only when it was kept: a cut line keeps its
    // last stored character.
    if (sawNewline && stored == total && stored > 0 && buf[stored - 1] == '\r') --stored;
    buf[stored] = '\0';
    return true;
}

bool inputWaiting() {
    if (Input.start < Input.end || Input.ended) return true;
    if (InputIsConsole) return consoleLineWaiting();
    inputHandle();
    // A file or a device never makes a read wait for long: its data or its end is there.
    if (InputType != FILE_TYPE_PIPE) return true;
    DWORD available = 0;
    if (PeekNamedPipe(InputHandle, nullptr, 0, nullptr, &available, nullptr)) return available > 0;
    // A broken pipe means the GUI went away: the read then reports the end of input, instead of
    // leaving the engine searching for no one. Any other failure: nothing is known to wait.
    return GetLastError() == ERROR_BROKEN_PIPE;
}

uint64_t tickCountMs() {
    // The 64-bit count: the 32-bit one wraps after 49.7 days of system uptime.
    return GetTickCount64();
}

void sleepMs(int ms) {
    Sleep(ms > 0 ? DWORD(ms) : 0);
}

#endif  // _WIN32
