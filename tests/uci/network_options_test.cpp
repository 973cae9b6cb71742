// "Use NNUE" and "EvalFile": their own line reader, their values, their deferral during a
// search (in-process), and what a GUI sees of a network file that cannot be used (through the
// pipe).
#include <unistd.h>

#include <climits>
#include <cstring>

#include "eval/eval.h"
#include "search/control.h"
#include "search/threads.h"
#include "support/engine_pipe.h"
#include "support/network_file.h"
#include "uci/options.h"

namespace {

bool networkIs(const Network& net) {
    return networkBytes(currentNetwork()) == networkBytes(net);
}
bool embeddedInUse() {
    return networkBytes(currentNetwork()) ==
           std::vector<unsigned char>(EmbeddedNetwork, EmbeddedNetwork + EmbeddedNetworkSize);
}

class NetworkOptions : public ::testing::Test {
   protected:
    void TearDown() override {
        setOption("setoption name Use NNUE value false");
        setOption("setoption name EvalFile value <empty>");
    }
};

TEST_F(NetworkOptions, EitherLineIsReadByItsOwnRulesAndByNoOtherOption) {
    const int32_t hash = HashMegabytes;
    // A path holding other options' words sets none of them.
    setOption("setoption name EvalFile value /no/such Hash value 2048 Threads value 3 ");
    EXPECT_EQ(HashMegabytes, hash);
    EXPECT_EQ(searchThreadCount(), 1);
    EXPECT_TRUE(embeddedInUse());

    const struct {
        const char* line;
        bool enabled;  // afterwards, from false before
    } checks[] = {
        {"setoption name Use NNUE value true", true},
        {"setoption name Use NNUE value FALSE", false},
        {"setoption name Use NNUE value  True  ", true},
        {"setoption name Use NNUE value yes", true},  // not a check value: left as it is
        {"setoption name Use NNUE value false Hash value 2048", true},
        {"setoption name Use NNUE value fAlSe", false},
        {"setoption name Use NNUE value", false},  // no value at all
        {"setoption name Use NNUE value 1", false},
    };
    for (const auto& c : checks) {
        setOption(c.line);
        EXPECT_EQ(NetworkEnabled, c.enabled) << c.line;
    }
    EXPECT_EQ(HashMegabytes, hash);

    // Inner blanks belong to the path, trailing ones do not; a relative path starts from the
    // working directory.
    auto net = randomNetwork(11, 0.1);
    ScratchFile spaced("network with  blanks.nnue", networkBytes(*net));
    setOption(("setoption name EvalFile value " + spaced.path + "  \t ").c_str());
    EXPECT_TRUE(networkIs(*net));
    for (const char* empty : {"setoption name EvalFile value <empty>", "setoption name EvalFile",
                              "setoption name EvalFile value ", "setoption name EvalFile value"}) {
        setOption(("setoption name EvalFile value " + spaced.path).c_str());
        ASSERT_TRUE(networkIs(*net));
        setOption(empty);
        EXPECT_TRUE(embeddedInUse()) << empty;
    }
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(TOLVO_BUILD_DIR), 0);
    const std::string name = spaced.path.substr(spaced.path.rfind('/') + 1);
    setOption(("setoption name EvalFile value " + name).c_str());
    EXPECT_TRUE(networkIs(*net));
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(NetworkOptions, DuringASearchBothApplyAfterItWithThePathCopiedAtOnce) {
    auto net = randomNetwork(12, 0.1);
    ScratchFile file("network-deferred.nnue", networkBytes(*net));
    setGoRunning(true);
    std::string line = "setoption name EvalFile value " + file.path;
    setOption(line.c_str());
    line.assign(line.size(), 'x');  // the line buffer is reused by the next line read
    setOption("setoption name Use NNUE value true");
    EXPECT_FALSE(NetworkEnabled);
    EXPECT_TRUE(embeddedInUse());
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_TRUE(NetworkEnabled);
    EXPECT_TRUE(networkIs(*net));
}

// A file that cannot be used: one "info string" line that names it and says why, and the
// engine goes on with the network it had.
using NetworkFileSession = EngineTest;

TEST_F(NetworkFileSession, ANetworkFileThatCannotBeUsedGetsOneInfoLineAndTheEngineKeepsItsNetwork) {
    ASSERT_TRUE(engine.send("uci"));
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.until("uciok", &lines));
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const auto threads = at("option name Threads type spin default 1 min 1 max 256 ");
    const auto useNetwork = at("option name Use NNUE type check default true ");
    EXPECT_LT(threads, useNetwork);
    EXPECT_EQ(at("option name EvalFile type string default <empty> "), useNetwork + 1);

    std::vector<unsigned char> bytes = networkBytes(*randomNetwork(13, 0.1));
    bytes[100] ^= 1;
    ScratchFile damaged("network-damaged.nnue", bytes);
    bytes.resize(1000);
    ScratchFile cut("network-cut.nnue", bytes);
    const struct {
        std::string path, reason;
    } files[] = {
        {damaged.path, "checksum mismatch"},
        {cut.path, "truncated"},
        {TOLVO_BUILD_DIR "/no-such.nnue", "no such file"},
        {TOLVO_BUILD_DIR, "not a regular file"},
    };
    ASSERT_TRUE(engine.send("setoption name Use NNUE value true"));
    for (const auto& f : files) {
        ASSERT_TRUE(engine.send("setoption name EvalFile value " + f.path));
        const std::vector<std::string> said = engine.ready();
        ASSERT_EQ(said.size(), 1u) << f.path;
        EXPECT_TRUE(startsWith(said[0], "info string EvalFile " + f.path + " ")) << said[0];
        EXPECT_NE(said[0].find(f.reason), std::string::npos) << said[0];
    }
    // A path's control characters are echoed as "?": the line stays one line of plain text.
    ASSERT_TRUE(
        engine.send("setoption name EvalFile value " TOLVO_BUILD_DIR "/no\x01su\x1b[2Jch\tfile"));
    const std::vector<std::string> said = engine.ready();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(startsWith(
        said[0], "info string EvalFile " TOLVO_BUILD_DIR "/no?su?[2Jch?file not loaded: "))
        << said[0];
    // Still the embedded network: the same search as in a fresh engine, whose default it is.
    const auto search = [](Pipe& e) {
        EXPECT_TRUE(e.send("position startpos moves e2e4"));
        return lastWithPrefix(e.go("go depth 5"), "info depth 5");
    };
    Pipe fresh;
    ASSERT_TRUE(fresh.started() && fresh.ready().empty());
    const std::string expected = search(fresh);
    EXPECT_EQ(fieldOf(search(engine), "nodes"), fieldOf(expected, "nodes"));
    EXPECT_NE(expected, "");
    // A fresh engine that is refused a file, never told "Use NNUE", keeps the built-in network.
    Pipe refused;
    ASSERT_TRUE(refused.started() && refused.send("setoption name EvalFile value " + cut.path));
    ASSERT_EQ(refused.ready().size(), 1u);
    EXPECT_EQ(fieldOf(search(refused), "nodes"), fieldOf(expected, "nodes"));
}

}  // namespace
