// Standard input of a Windows console or pipe and the clock; lines are split by the shared
// reader, whose buffered bytes the waiting test counts too, since PeekNamedPipe no longer
// sees what an earlier read has taken out of the pipe.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/line_reader.h"
#include "platform/platform.h"

namespace {

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

size_t readInputBytes(char* buf, size_t size) {
    DWORD n = 0;
    // A closed pipe fails with ERROR_BROKEN_PIPE; a console returns 0 bytes for ^Z.
    if (!ReadFile(inputHandle(), buf, DWORD(size), &n, nullptr)) return 0;
    return n;
}

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

bool inputWaiting() {
    if (inputBufferedOrEnded()) return true;
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

const char* readRegularFile(const char* path, unsigned char* buf, size_t capacity,
                            uint64_t& fileBytes, size_t& got) {
    fileBytes = 0;
    got = 0;
    // The path arrives in UTF-8; the wide API takes any name the file system can hold.
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (wideLength <= 0) return "the path is not valid UTF-8";
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), wideLength);
    const HANDLE file = CreateFileW(wide.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such file"
               : error == ERROR_ACCESS_DENIED                                 ? "permission denied"
                                                                              : "cannot be opened";
    }
    // Only a file on a disk: not a pipe, not a console or another character device.
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(file, &length)) {
        CloseHandle(file);
        return "not a regular file";
    }
    fileBytes = uint64_t(length.QuadPart);
    while (got < capacity) {
        const size_t want = capacity - got;
        DWORD n = 0;
        if (!ReadFile(file, buf + got, DWORD(want < (1u << 30) ? want : (1u << 30)), &n, nullptr)) {
            CloseHandle(file);
            return "read error";
        }
        if (n == 0) break;
        got += n;
    }
    CloseHandle(file);
    if (got < capacity && got < fileBytes) fileBytes = got;
    return nullptr;
}

const char* listFolder(const char* path, std::vector<std::string>& names) {
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (wideLength <= 0) return "the path is not valid UTF-8";
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), wideLength);
    wide.pop_back();
    for (const wchar_t c : {L'\\', L'*', L'\0'}) wide.push_back(c);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide.data(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such folder"
               : error == ERROR_DIRECTORY                                     ? "not a folder"
               : error == ERROR_ACCESS_DENIED                                 ? "permission denied"
                                                                              : "cannot be read";
    }
    do {
        char name[4 * MAX_PATH];
        if (WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name, nullptr,
                                nullptr) <= 0)
            continue;
        const std::string text = name;
        if (text != "." && text != "..") names.push_back(text);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return nullptr;
}

#endif  // _WIN32
