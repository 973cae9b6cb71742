// A program on pipes, driven as a GUI drives the engine: the referee's process layer, with a
// deadline on every read and write, so that a hung engine fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "selfplay/process.h"
#include "uci/options.h"
#include "uci/position_command.h"

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

// The texts of the legal moves in the position a "position" line builds, to judge the moves
// the engine names.
// With chess960 set, the moves are read and written as "UCI_Chess960" true has them.
inline std::vector<std::string> legalMoveTexts(const std::string& positionLine,
                                               bool chess960 = false) {
    static Position p;
    const bool option = Chess960;
    Chess960 = chess960;
    positionCommand(p, positionLine.c_str());
    Chess960 = option;
    MoveList legal;
    generateLegalMoves(p, legal);
    std::vector<std::string> texts;
    for (int i = 0; i < legal.count; ++i)
        texts.push_back(moveToText(p, legal.moveWords[i], chess960));
    return texts;
}

inline int64_t msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
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

    bool started() const { return started_; }
    pid_t pid() const { return p_.pid; }
    // The text and a line feed; the text may hold more lines, NUL bytes included.
    bool send(const std::string& text) {
        return selfplay::sendLine(p_, text, selfplay::afterMs(selfplay::now(), ReplyMs));
    }
    // A short text as it is, in one write.
    bool write(const std::string& text) {
        return ::write(p_.toEngine, text.data(), text.size()) == ssize_t(text.size());
    }
    // The next line, or nothing when the time passes or the output ends first; lines up to the
    // first that begins with the prefix, which is returned, each appended to seen.
    std::optional<std::string> line(int ms = ReplyMs) { return until("", nullptr, ms); }
    std::optional<std::string> until(const std::string& prefix,
                                     std::vector<std::string>* seen = nullptr, int ms = ReplyMs) {
        const auto deadline = selfplay::afterMs(selfplay::now(), ms);
        for (std::string l; selfplay::readLine(p_, l, deadline) == selfplay::ReadResult::Line;) {
            if (seen) seen->push_back(l);
            if (startsWith(l, prefix)) return l;
        }
        return std::nullopt;
    }
    // Every line that arrives within the time (no line begins with a line feed).
    std::vector<std::string> within(int ms) {
        std::vector<std::string> lines;
        until("\n", &lines, ms);
        return lines;
    }
    // Sends "isready"; what came before "readyok". Fails the test when no "readyok" comes.
    std::vector<std::string> ready(int ms = ReplyMs) {
        std::vector<std::string> lines;
        EXPECT_TRUE(send("isready") && until("readyok", &lines, ms)) << "no readyok";
        if (!lines.empty()) lines.pop_back();
        return lines;
    }
    // Sends a "go"; every line up to its "bestmove". Fails the test when none comes in time.
    std::vector<std::string> go(const std::string& go, int ms = ReplyMs) {
        std::vector<std::string> lines;
        EXPECT_TRUE(send(go) && until("bestmove", &lines, ms)) << "no bestmove for: " << go;
        return lines;
    }
    // Every line the program writes until it closes its output, and how it ended ("exit code
    // 0"). Its input is closed first unless it must leave by itself.
    std::string finish(std::string& output, bool closeInput = true, int ms = ReplyMs) {
        if (closeInput) close(p_.toEngine);
        p_.toEngine = closeInput ? -1 : p_.toEngine;
        for (const std::string& l : within(ms)) output += l + "\n";
        return selfplay::stopProcess(p_, ms);
    }

   private:
    selfplay::EngineProcess p_;
    bool started_ = false;
};

// A test with the engine started and its tables built, playing the hand-written evaluation
// with its search: the behaviour these tests pin down, whatever a fresh engine evaluates with.
class EngineTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_TRUE(engine.started() && engine.send("setoption name Use NNUE value false") &&
                    engine.ready().empty());
    }
    Pipe engine;
};

// What a test's engine plays: the hand-written evaluation with the specified search, or the
// network with its own search ("Use NNUE" off or on).
enum class EngineKind { Specified, Network };

// A test run once for each kind of engine: the protocol holds for both searches alike.
class EitherEngineTest : public ::testing::TestWithParam<EngineKind> {
   protected:
    void SetUp() override {
        const bool network = GetParam() == EngineKind::Network;
        ASSERT_TRUE(engine.started() &&
                    engine.send(std::string("setoption name Use NNUE value ") +
                                (network ? "true" : "false")) &&
                    engine.ready().empty());
    }
    Pipe engine;
};

inline void PrintTo(EngineKind kind, std::ostream* out) {
    *out << (kind == EngineKind::Network ? "network" : "specified");
}
inline std::string engineKindName(const ::testing::TestParamInfo<EngineKind>& info) {
    return info.param == EngineKind::Network ? "Network" : "Specified";
}
#define RUN_FOR_EITHER_ENGINE(Suite)                                                        \
    INSTANTIATE_TEST_SUITE_P(EitherEngine, Suite,                                           \
                             ::testing::Values(EngineKind::Specified, EngineKind::Network), \
                             engineKindName)
