#include "search/threads.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/platform.h"
#include "search/root.h"

std::atomic<bool> HelperStop;

namespace {

// A search 256 plies deep needs about a megabyte of stack; the system's default for a new
// thread may be smaller than that on some platforms.
constexpr size_t HelperStackBytes = size_t(8) << 20;

SearchThread MainThreadRecord;
SearchThread* Threads[MaxSearchThreads] = {&MainThreadRecord};
ThreadHandle Handles[MaxSearchThreads];
int ThreadCount = 1;

// What a helper knows of the pool: its record, and the last search it has seen start.
struct HelperStart {
    SearchThread* thread;
    uint64_t seenRound;
};
HelperStart Starts[MaxSearchThreads];

std::mutex PoolMutex;
std::condition_variable Wake;  // helpers wait here for the next search, or to leave
std::condition_variable Idle;  // the main thread waits here for the last helper to finish
uint64_t Round;                // searches started so far
int Busy;                      // helpers still searching the current round
bool Leaving;                  // the helpers must end

// A helper's life: blocked until a search starts, searching, idle again. Nothing here is
// unwound by the jump that ends the search: the recovery point lies inside helperSearch.
void helperBody(void* arg) {
    HelperStart& start = *static_cast<HelperStart*>(arg);
    std::unique_lock<std::mutex> lock(PoolMutex);
    for (;;) {
        Wake.wait(lock, [&] { return Leaving || Round != start.seenRound; });
        if (Leaving) return;
        start.seenRound = Round;
        lock.unlock();
        helperSearch(*start.thread);
        lock.lock();
        if (--Busy == 0) Idle.notify_all();
    }
}

void joinHelpers() {
    // A helper still searching leaves its search first.
    HelperStop.store(true, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(PoolMutex);
        Leaving = true;
    }
    Wake.notify_all();
    for (int i = 1; i < ThreadCount; ++i) {
        joinThread(Handles[i]);
        delete Threads[i];
        Threads[i] = nullptr;
    }
    ThreadCount = 1;
    std::lock_guard<std::mutex> lock(PoolMutex);
    Leaving = false;
}

}  // namespace

SearchThread& mainThread() {
    return MainThreadRecord;
}

uint64_t totalNodes() {
    uint64_t n = 0;
    for (int i = 0; i < ThreadCount; ++i)
        n += Threads[i]->nodeCount.load(std::memory_order_relaxed);
    return n;
}

uint64_t totalTablebaseHits() {
    uint64_t n = 0;
    for (int i = 0; i < ThreadCount; ++i)
        n += Threads[i]->tablebaseHits.load(std::memory_order_relaxed);
    return n;
}

int searchThreadCount() {
    return ThreadCount;
}

SearchThread& searchThread(int index) {
    return *Threads[index];
}

void setSearchThreads(int count) {
    count = count < 1 ? 1 : count > MaxSearchThreads ? MaxSearchThreads : count;
    if (count == ThreadCount) return;
    joinHelpers();
    while (ThreadCount < count) {
        const int i = ThreadCount;
        Threads[i] = new SearchThread();
        Threads[i]->index = i;
        Starts[i] = HelperStart{Threads[i], Round};
        if (!startThread(Handles[i], helperBody, &Starts[i], HelperStackBytes)) {
            // The system has no more threads to give: search with those it gave.
            delete Threads[i];
            Threads[i] = nullptr;
            break;
        }
        ++ThreadCount;
    }
}

void shutdownSearchThreads() {
    joinHelpers();
}

void startHelpers(int maxDepth) {
    if (ThreadCount == 1) return;
    const Position& root = MainThreadRecord.position;
    for (int i = 1; i < ThreadCount; ++i) {
        SearchThread& t = *Threads[i];
        t.position = root;
        t.position.stack = &t.stack[0];
        t.position.history = &t.history;
        t.maxDepth = maxDepth;
    }
    HelperStop.store(false, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(PoolMutex);
        Busy = ThreadCount - 1;
        ++Round;
    }
    Wake.notify_all();
}

void stopHelpers() {
    if (ThreadCount == 1) return;
    HelperStop.store(true, std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(PoolMutex);
    Idle.wait(lock, [] { return Busy == 0; });
}
