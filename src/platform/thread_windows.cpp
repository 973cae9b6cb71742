// Threads of the engine's own on Windows.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/platform.h"

namespace {

struct ThreadStart {
    void (*body)(void*);
    void* arg;
};

DWORD WINAPI runThread(LPVOID start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.arg);
    return 0;
}

}  // namespace

bool startThread(ThreadHandle& thread, void (*body)(void*), void* arg, size_t stackBytes) {
    auto* start = new ThreadStart{body, arg};
    // The size is reserved address space; pages are committed as the stack grows.
    HANDLE h = CreateThread(nullptr, stackBytes, runThread, start,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!h) {
        delete start;
        return false;
    }
    thread.value = reinterpret_cast<uintptr_t>(h);
    return true;
}

void joinThread(ThreadHandle& thread) {
    HANDLE h = reinterpret_cast<HANDLE>(thread.value);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
}

#endif  // _WIN32
