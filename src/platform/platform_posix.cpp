// Standard input and the clock on POSIX systems; lines are split by the shared reader.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
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

const char* readRegularFile(const char* path, unsigned char* buf, size_t capacity,
                            uint64_t& fileBytes, size_t& got) {
    fileBytes = 0;
    got = 0;
    // Non-blocking, so that opening a FIFO does not wait for a writer before fstat refuses it.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT    ? "no such file"
               : errno == EACCES  ? "permission denied"
               : errno == ENOTDIR ? "no such file"
                                  : "cannot be opened";
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return "not a regular file";
    }
    fileBytes = uint64_t(st.st_size);
    while (got < capacity) {
        const ssize_t n = read(fd, buf + got, capacity - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return "read error";
        }
        if (n == 0) break;
        got += size_t(n);
    }
    close(fd);
    // A file that shrank while it was read is as long as what it gave.
    if (got < capacity && got < fileBytes) fileBytes = got;
    return nullptr;
}

const char* listFolder(const char* path, std::vector<std::string>& names) {
    DIR* folder = opendir(path);
    if (!folder) {
        return errno == ENOENT    ? "no such folder"
               : errno == ENOTDIR ? "not a folder"
               : errno == EACCES  ? "permission denied"
                                  : "cannot be read";
    }
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(folder);
    return nullptr;
}

#endif  // _WIN32
