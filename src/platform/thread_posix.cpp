// Threads of the engine's own on POSIX systems: pthreads, whose attributes set the stack size.
#ifndef _WIN32

#include <pthread.h>

#include <cstring>

#include "platform/platform.h"

namespace {

struct ThreadStart {
    void (*body)(void*);
    void* arg;
};

void* runThread(void* start) {
    const ThreadStart s = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    s.body(s.arg);
    return nullptr;
}

}  // namespace

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "a thread id must fit the handle");

bool startThread(ThreadHandle& thread, void (*body)(void*), void* arg, size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setstacksize(&attr, stackBytes);
    auto* start = new ThreadStart{body, arg};
    pthread_t id;
    const bool started = pthread_create(&id, &attr, runThread, start) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        delete start;
        return false;
    }
    thread.value = 0;
    std::memcpy(&thread.value, &id, sizeof id);
    return true;
}

void joinThread(ThreadHandle& thread) {
    pthread_t id;
    std::memcpy(&id, &thread.value, sizeof id);
    pthread_join(id, nullptr);
}

#endif  // _WIN32
