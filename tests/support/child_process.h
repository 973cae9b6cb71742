// A child process driven over pipes with deadlines, for tests that talk to the built engine
// (or any other program) as a GUI does. A child that hangs fails the test instead of
// hanging it: every read and wait has a timeout, and a child still running is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
   public:
    using Clock = std::chrono::steady_clock;

    explicit ChildProcess(const std::string& path, const std::vector<std::string>& args = {}) {
        // Writing to a child that has already exited must fail, not kill the test program.
        signal(SIGPIPE, SIG_IGN);
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0) return;
        if (pipe2(fromChild, O_CLOEXEC) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        in_ = toChild[1];
        out_ = fromChild[0];
        if (pid_ < 0) closeAll();
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    ~ChildProcess() {
        if (running()) {
            kill(pid_, SIGKILL);
            reap(true);
        }
        closeAll();
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Writes the bytes as they are, in one piece where the pipe allows.
    bool write(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            if (in_ < 0) return false;
            ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }
    bool send(const std::string& line) { return write(line + "\n"); }

    // End of input for the child.
    void closeInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }

    // The next line without its line feed; nothing when the deadline passes or the output
    // ends first (a last line without a line feed is returned).
    std::optional<std::string> readLine(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            if (outputEnded_) {
                if (buffer_.empty()) return std::nullopt;
                std::string line;
                line.swap(buffer_);
                return line;
            }
            if (!fill(deadline)) return std::nullopt;
        }
    }

    // Reads lines until one satisfies the test and returns it; every line read on the way,
    // that one included, is appended to seen.
    std::optional<std::string> readUntil(const std::function<bool(const std::string&)>& test,
                                         int timeoutMs, std::vector<std::string>* seen = nullptr) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int left = msUntil(deadline);
            std::optional<std::string> line = readLine(left);
            if (!line) return std::nullopt;
            if (seen) seen->push_back(*line);
            if (test(*line)) return line;
        }
    }
    std::optional<std::string> readUntilPrefix(const std::string& prefix, int timeoutMs,
                                               std::vector<std::string>* seen = nullptr) {
        return readUntil(
            [&](const std::string& l) { return l.compare(0, prefix.size(), prefix) == 0; },
            timeoutMs, seen);
    }

    // Every line that arrives within the given time (for "nothing is printed" checks).
    std::vector<std::string> linesWithin(int ms) {
        std::vector<std::string> lines;
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (std::optional<std::string> line = readLine(msUntil(deadline)))
            lines.push_back(*line);
        return lines;
    }

    // Everything the child writes until it closes its output; false on timeout.
    bool readToEnd(std::string& out, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!outputEnded_)
            if (!fill(deadline)) break;
        out += buffer_;
        buffer_.clear();
        return outputEnded_;
    }

    // The exit code; a death by a signal gives minus the signal number. Nothing when the
    // child did not exit in time: it is then killed.
    std::optional<int> waitExit(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (running()) {
            if (reap(false)) break;
            if (Clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                reap(true);
                return std::nullopt;
            }
            usleep(2000);
        }
        if (WIFEXITED(status_)) return WEXITSTATUS(status_);
        if (WIFSIGNALED(status_)) return -WTERMSIG(status_);
        return std::nullopt;
    }

    bool running() const { return pid_ > 0 && !reaped_; }

   private:
    static int msUntil(Clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return left.count() > 0 ? int(left.count()) : 0;
    }

    // Reads what the child has written, waiting until the deadline; false when nothing came.
    bool fill(Clock::time_point deadline) {
        if (out_ < 0) {
            outputEnded_ = true;
            return false;
        }
        for (;;) {
            pollfd p{};
            p.fd = out_;
            p.events = POLLIN;
            int r = poll(&p, 1, msUntil(deadline));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            char chunk[65536];
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                outputEnded_ = true;
                return false;
            }
            buffer_.append(chunk, size_t(n));
            return true;
        }
    }

    bool reap(bool block) {
        if (!running()) return true;
        int status = 0;
        pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            status_ = status;
            return true;
        }
        return false;
    }

    void closeAll() {
        closeInput();
        if (out_ >= 0) close(out_);
        out_ = -1;
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool outputEnded_ = false;
    bool reaped_ = false;
    int status_ = 0;
};
