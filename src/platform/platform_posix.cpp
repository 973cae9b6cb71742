// Standard input and the clock on POSIX systems; lines are split by the shared reader.
#ifndef _WIN32

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/line_reader.h"
#include "platform/platform.h"

size_t readInputBytes(char* buf, size_t size) {
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buf, size);
        if (n > 0) return size_t(n);
        if (n < 0 && errno == EINTR) continue;
        return 0;
    }
}

bool setupStreams() {
    // A GUI that closes its end of our output must not kill the engine mid-line; the
    // write fails instead and end of input follows.
    signal(SIGPIPE, SIG_IGN);
    return isatty(STDIN_FILENO) != 0;
}

bool inputWaiting() {
    if (inputBufferedOrEnded()) return true;
    pollfd p{};
    p.fd = STDIN_FILENO;
    p.events = POLLIN;
    // Hang-up, error and an invalid descriptor count as waiting: the read then reports
    // the end of input instead of leaving the engine polling a dead pipe forever.
    return poll(&p, 1, 0) > 0 && p.revents != 0;
}

uint64_t tickCountMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000u + uint64_t(t.tv_nsec) / 1000000u;
}

void sleepMs(int ms) {
    timespec t{};
    t.tv_sec = ms / 1000;
    t.tv_nsec = long(ms % 1000) * 1000000L;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

#endif  // _WIN32
