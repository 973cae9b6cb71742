// A program on pipes, driven as a GUI drives the engine: the referee's process layer, with a
// deadline on every read and write, so that a hung engine fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "selfplay/process.h"

// Generous: the machine is shared, and a hung engine still fails well within the suite's limit.
constexpr int ReplyMs = 10000;

inline bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}
inline int countPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return startsWith(l, prefix); }));
}
// The last line beginning with the prefix, or "" when there is none.
inline std::string lastWithPrefix(const std::vector<std::string>& lines,
                                  const std::string& prefix) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (startsWith(*it, prefix)) return *it;
    return "";
}
// The word after a field name in an "info" line ("3" for "depth" in "info depth 3 ..").
inline std::string fieldOf(const std::string& line, const std::string& name) {
    const size_t at = line.find(" " + name + " ");
    if (at == std::string::npos) return "";
    const size_t start = at + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

class Pipe {
   public:
    // The command runs through the shell; by default the built engine.
    explicit Pipe(const std::string& command = "'" TOLVO_ENGINE_PATH "'") {
        signal(SIGPIPE, SIG_IGN);
        p_.command = command;
        std::string error;
        started_ = selfplay::startProcess(p_, error);
    }
    ~Pipe() { selfplay::stopProcess(p_, 0); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool started() const { return started_; }
    pid_t pid() const { return p_.pid; }
    // The text and a line feed; the text may hold more lines, NUL bytes included.
    bool send(const std::string& text) {
        return selfplay::sendLine(p_, text, selfplay::afterMs(selfplay::now(), ReplyMs));
    }
    // Bytes as they are, in one write: for short texts that need no line feed.
    bool write(const std::string& bytes) {
        return p_.toEngine >= 0 &&
               ::write(p_.toEngine, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    void closeInput() {
        if (p_.toEngine >= 0) close(p_.toEngine);
        p_.toEngine = -1;
    }
    // The next line, or nothing when the time passes or the output ends first.
    std::optional<std::string> line(int ms = ReplyMs) {
        std::string l;
        if (selfplay::readLine(p_, l, selfplay::afterMs(selfplay::now(), ms)) !=
            selfplay::ReadResult::Line)
            return std::nullopt;
        return l;
    }
    // Lines up to the first that begins with the prefix, which is returned; every line read
    // on the way, that one included, is appended to seen.
    std::optional<std::string> until(const std::string& prefix,
                                     std::vector<std::string>* seen = nullptr, int ms = ReplyMs) {
        const auto deadline = selfplay::afterMs(selfplay::now(), ms);
        for (;;) {
            std::string l;
            if (selfplay::readLine(p_, l, deadline) != selfplay::ReadResult::Line)
                return std::nullopt;
            if (seen) seen->push_back(l);
            if (startsWith(l, prefix)) return l;
        }
    }
    // Every line that arrives within the time.
    std::vector<std::string> within(int ms) {
        std::vector<std::string> lines;
        const auto deadline = selfplay::afterMs(selfplay::now(), ms);
        for (std::string l; selfplay::readLine(p_, l, deadline) == selfplay::ReadResult::Line;)
            lines.push_back(l);
        return lines;
    }
    // Sends "isready"; what came before "readyok". Fails the test when no "readyok" comes.
    std::vector<std::string> ready(int ms = ReplyMs) {
        std::vector<std::string> lines;
        EXPECT_TRUE(send("isready"));
        EXPECT_TRUE(until("readyok", &lines, ms)) << "no readyok";
        if (!lines.empty() && lines.back() == "readyok") lines.pop_back();
        return lines;
    }
    // Sends a "go"; every line up to its "bestmove". Fails the test when none comes in time.
    std::vector<std::string> go(const std::string& go, int ms = ReplyMs) {
        std::vector<std::string> lines;
        EXPECT_TRUE(send(go));
        EXPECT_TRUE(until("bestmove", &lines, ms)) << "no bestmove for: " << go;
        return lines;
    }
    // Each line the program writes until it closes its output, and how it ended ("exit code
    // 0"). Its input is closed first unless it must leave by itself.
    std::string finish(std::string& output, bool closeFirst = true, int ms = ReplyMs) {
        if (closeFirst) closeInput();
        const auto deadline = selfplay::afterMs(selfplay::now(), ms);
        for (std::string l; selfplay::readLine(p_, l, deadline) == selfplay::ReadResult::Line;)
            output += l + "\n";
        return selfplay::stopProcess(p_, ReplyMs);
    }

   private:
    selfplay::EngineProcess p_;
    bool started_ = false;
};

// A test with the engine started and its tables built.
class EngineTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_TRUE(engine.started());
        ASSERT_TRUE(engine.ready().empty());
    }
    Pipe engine;
};
