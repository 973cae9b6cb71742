// Driving the built engine through its pipes: the steps the protocol tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

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

// The value after a field name in an "info" line ("depth" in "info depth 3 ..."), or "".
inline std::string fieldOf(const std::string& line, const std::string& name) {
    std::string key = " " + name + " ";
    size_t at = line.find(key);
    if (at == std::string::npos) return "";
    size_t start = at + key.size();
    size_t end = line.find(' ', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Sends "isready" and returns what the engine printed before its "readyok"; fails the test
// when no "readyok" comes.
inline std::vector<std::string> syncReady(ChildProcess& engine, int timeoutMs = ReplyMs) {
    std::vector<std::string> lines;
    EXPECT_TRUE(engine.send("isready"));
    std::optional<std::string> ready =
        engine.readUntil([](const std::string& l) { return l == "readyok"; }, timeoutMs, &lines);
    EXPECT_TRUE(ready.has_value()) << "no readyok";
    if (ready) lines.pop_back();
    return lines;
}

// Sends a "go" line and returns every line up to and including its "bestmove"; fails the test
// when none comes in time.
inline std::vector<std::string> goAndWait(ChildProcess& engine, const std::string& go,
                                          int timeoutMs = ReplyMs) {
    std::vector<std::string> lines;
    EXPECT_TRUE(engine.send(go));
    EXPECT_TRUE(engine.readUntilPrefix("bestmove", timeoutMs, &lines).has_value())
        << "no bestmove for: " << go;
    return lines;
}

// The engine started on pipes, with a check that it did start.
class EngineTest : public ::testing::Test {
   protected:
    ChildProcess engine{TOLVO_ENGINE_PATH};
    // Waits until the engine has built its tables, so that timings start with the engine
    // ready to read commands.
    void SetUp() override {
        ASSERT_TRUE(engine.started()) << TOLVO_ENGINE_PATH;
        ASSERT_TRUE(syncReady(engine).empty());
    }
};
