// Standard input through read(2) with a buffer of our own: the "is input waiting?" test
// must see lines that an earlier read has already pulled out of the pipe, which stdio
// would hide from poll(2).
#ifndef _WIN32

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

struct InputBuffer {
    char bytes[16384];
    size_t start;
    size_t end;
    bool ended;  // end of input or a read error: sticky, so a terminal's ^D is final too
};
InputBuffer Input;

// Refills the empty buffer; false once input has ended.
bool refill() {
    if (Input.ended) return false;
    for (;;) {
        ssize_t n = read(STDIN_FILENO, Input.bytes, sizeof Input.bytes);
        if (n > 0) {
            Input.start = 0;
            Input.end = size_t(n);
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        Input.ended = true;
        return false;
    }
}

}  // namespace

bool setupStreams() {
    // A GUI that closes its end of our output must not kill the engine mid-line; the
    // write fails instead and end of input follows.
    signal(SIGPIPE, SIG_IGN);
    return isatty(STDIN_FILENO) != 0;
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
    // Text-mode reading: a carriage return right before the line feed is not part of the
    // line. Only when it was kept: a cut line keeps its last stored character.
    if (sawNewline && stored == total && stored > 0 && buf[stored - 1] == '\r') --stored;
    buf[stored] = '\0';
    return true;
}

bool inputWaiting() {
    if (Input.start < Input.end || Input.ended) return true;
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
