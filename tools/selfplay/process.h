// An engine run as a child process and spoken to line by line over pipes, where every wait
// has a deadline so that a hung engine can never hang the referee.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace selfplay {

using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;

inline TimePoint now() {
    return SteadyClock::now();
}
inline TimePoint afterMs(TimePoint t, int64_t ms) {
    return t + std::chrono::milliseconds(ms);
}
inline int64_t microsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
}

// A line longer than this is cut: an engine that writes without line feeds must not make the
// referee's memory grow without bound.
constexpr size_t MaxLineLength = 1 << 20;

struct EngineProcess {
    std::string command;  // run by /bin/sh
    pid_t pid = -1;
    int toEngine = -1;    // the engine's standard input
    int fromEngine = -1;  // the engine's standard output
    std::string partial;  // bytes read after the last line feed
    std::deque<std::string> lines;
    bool closed = false;  // its output has ended: it exited or closed the pipe
    bool verbose = false;
    int tag = 0;  // 1 or 2 in the traffic log
};

// Process groups of the running engines, for the signal handler: an interrupted referee must
// not leave engines running. Engines run in their own groups so that helpers they start die
// with them, and so that a terminal's Ctrl-C reaches only the referee, which then ends them.
// Games played at once start and end engines from several threads, and the handler reads the
// slots at any moment: each slot is claimed and cleared atomically.
inline std::atomic<pid_t> RunningGroups[16];
// Set by the signal handler: an engine started from then on is ended at once.
inline std::atomic<bool> EndingEngines{false};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler reads them");

inline void rememberGroup(pid_t pid) {
    for (auto& slot : RunningGroups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid)) break;
    }
    if (EndingEngines.load()) kill(-pid, SIGKILL);
}

inline void forgetGroup(pid_t pid) {
    for (auto& slot : RunningGroups) {
        pid_t expected = pid;
        slot.compare_exchange_strong(expected, 0);
    }
}

// Other threads play on while the handler runs, and may start an engine again after its
// engine was killed: every slot is killed until none is left, and each reaped here unless its
// thread reaped it first. Bounded, so that the referee always ends.
inline void killGroupsAndExit(int signo) {
    EndingEngines.store(true);
    const timespec pause{0, 5000000};
    for (int round = 0; round < 200; ++round) {
        bool running = false;
        for (auto& slot : RunningGroups) {
            pid_t pid = slot.load();
            if (pid <= 0) continue;
            kill(-pid, SIGKILL);
            if (waitpid(pid, nullptr, WNOHANG) == 0)
                running = true;
            else
                slot.compare_exchange_strong(pid, 0);
        }
        if (!running) break;
        nanosleep(&pause, nullptr);
    }
    _exit(128 + signo);
}

inline void installSignalHandlers() {
    // A write to an engine that died must come back as an error, not end the referee.
    signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = killGroupsAndExit;
    sigemptyset(&action.sa_mask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signo);
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &action, nullptr);
}

inline void logTraffic(const EngineProcess& e, const char* direction, const std::string& text) {
    if (e.verbose) std::fprintf(stderr, "[%d] %s %s\n", e.tag, direction, text.c_str());
}

// Starts the command with its standard input and output on fresh pipes; its standard error
// stays the referee's. Returns false with a message when the process cannot be created.
inline bool startProcess(EngineProcess& e, std::string& error) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    std::string shellCommand = "exec " + e.command;
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        return false;
    }
    if (pid == 0) {
        setpgid(0, 0);
        // dup2 clears close-on-exec on the copies; the originals close at exec.
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", shellCommand.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid, pid);  // also here: the parent may signal the group before the child runs
    rememberGroup(pid);
    close(in[0]);
    close(out[1]);
    e.pid = pid;
    e.toEngine = in[1];
    e.fromEngine = out[0];
    fcntl(e.toEngine, F_SETFL, fcntl(e.toEngine, F_GETFL) | O_NONBLOCK);
    fcntl(e.fromEngine, F_SETFL, fcntl(e.fromEngine, F_GETFL) | O_NONBLOCK);
    e.partial.clear();
    e.lines.clear();
    e.closed = false;
    return true;
}

// Moves whatever the engine has written into its line queue without blocking.
inline void drainOutput(EngineProcess& e) {
    if (e.closed || e.fromEngine < 0) return;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(e.fromEngine, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {  // end of output, or an error that ends it just as well
            if (!e.partial.empty()) e.lines.push_back(e.partial);
            e.partial.clear();
            e.closed = true;
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            char c = buffer[i];
            if (c == '\n') {
                if (!e.partial.empty() && e.partial.back() == '\r') e.partial.pop_back();
                logTraffic(e, ">", e.partial);
                e.lines.push_back(std::move(e.partial));
                e.partial.clear();
            } else if (e.partial.size() < MaxLineLength) {
                e.partial += c;
            }
        }
    }
}

// Writes the line and its line feed. False when the engine is gone or does not take its
// input before the deadline (it stopped reading it).
inline bool sendLine(EngineProcess& e, const std::string& line, TimePoint deadline) {
    if (e.toEngine < 0) return false;
    logTraffic(e, "<", line);
    std::string data = line + "\n";
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(e.toEngine, data.data() + done, data.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        // The engine may itself be blocked writing to us: keep reading its output while
        // waiting for room in its input.
        drainOutput(e);
        int64_t waitMs = microsBetween(now(), deadline) / 1000;
        if (waitMs <= 0) return false;
        pollfd p[2] = {{e.toEngine, POLLOUT, 0}, {e.fromEngine, POLLIN, 0}};
        if (poll(p, e.closed ? 1 : 2, int(std::min<int64_t>(waitMs, 1000))) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

// Waits until one of the engines has a line queued or has closed its output, or until the
// deadline. Returns false at the deadline.
inline bool waitForOutput(const std::vector<EngineProcess*>& engines, TimePoint deadline) {
    for (;;) {
        std::vector<pollfd> fds;
        for (EngineProcess* e : engines) {
            drainOutput(*e);
            if (!e->lines.empty() || e->closed) return true;
            fds.push_back(pollfd{e->fromEngine, POLLIN, 0});
        }
        int64_t waitMs = (microsBetween(now(), deadline) + 999) / 1000;
        if (waitMs <= 0) return false;
        if (poll(fds.data(), fds.size(), int(std::min<int64_t>(waitMs, 1000))) < 0 &&
            errno != EINTR)
            return false;
    }
}

enum class ReadResult { Line, Timeout, Closed };

inline ReadResult readLine(EngineProcess& e, std::string& line, TimePoint deadline) {
    for (;;) {
        drainOutput(e);
        if (!e.lines.empty()) {
            line = std::move(e.lines.front());
            e.lines.pop_front();
            return ReadResult::Line;
        }
        if (e.closed) return ReadResult::Closed;
        if (!waitForOutput({&e}, deadline)) return ReadResult::Timeout;
    }
}

// Reads lines until one starts with the word; the lines before it are dropped.
inline ReadResult readUntil(EngineProcess& e, const std::string& word, std::string& line,
                            TimePoint deadline) {
    for (;;) {
        ReadResult r = readLine(e, line, deadline);
        if (r != ReadResult::Line) return r;
        if (line.compare(0, word.size(), word) == 0 &&
            (line.size() == word.size() || line[word.size()] == ' '))
            return r;
    }
}

// Ends the engine and everything it started. Gives it the grace time to exit by itself first
// (after "quit" or a crash) so that its own exit status can be reported; then kills its
// group while the unreaped process still holds the group's id, and reaps it.
inline std::string stopProcess(EngineProcess& e, int graceMs) {
    if (e.pid <= 0) return "not running";
    std::string how = "still running, killed";
    TimePoint deadline = afterMs(now(), graceMs);
    for (;;) {
        siginfo_t info{};
        if (waitid(P_PID, id_t(e.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == e.pid) {
            if (info.si_code == CLD_EXITED)
                how = "exit code " + std::to_string(info.si_status);
            else
                how = "signal " + std::to_string(info.si_status) + " (" +
                      strsignal(info.si_status) + ")";
            break;
        }
        if (now() >= deadline) break;
        usleep(5000);
    }
    kill(-e.pid, SIGKILL);
    int status = 0;
    while (waitpid(e.pid, &status, 0) < 0 && errno == EINTR) {
    }
    forgetGroup(e.pid);
    if (e.toEngine >= 0) close(e.toEngine);
    if (e.fromEngine >= 0) close(e.fromEngine);
    e.pid = -1;
    e.toEngine = e.fromEngine = -1;
    e.closed = true;
    e.lines.clear();
    e.partial.clear();
    return how;
}

}  // namespace selfplay
