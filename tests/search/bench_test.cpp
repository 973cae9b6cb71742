// The search's signature: the node total of the bench at a small fixed depth. Any change of
// search behaviour (move order, pruning, evaluation, the table) changes it; the README records
// the same number. A change meant to alter the search updates both.
#include <fstream>

#include "support/engine_pipe.h"

namespace {

TEST(Bench, NodeTotalAtDepthSixIsTheRecordedSignature) {
    Pipe bench("'" TOLVO_BUILD_DIR "/tolvo-bench' --depth 6");
    ASSERT_TRUE(bench.started());
    EXPECT_EQ(bench.until("Nodes searched:", nullptr, 60000).value_or("no total"),
              "Nodes searched: 613606");
}

// The specified search keeps its own total with the built-in network, whatever the network's
// own search has become.
TEST(Bench, TheSpecifiedSearchWithTheNetworkKeepsItsTotal) {
    Pipe bench("'" TOLVO_BUILD_DIR "/tolvo-bench' --learned --search specified --depth 6");
    ASSERT_TRUE(bench.started());
    std::vector<std::string> lines;
    EXPECT_EQ(bench.until("Nodes searched:", &lines, 240000).value_or("no total"),
              "Nodes searched: 602471");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find(", specified search"), std::string::npos) << lines.front();
}

}  // namespace

namespace {

// The network's signature is recorded beside the network (networks/default.md), on the line
// that begins "Bench signature", so that a new network changes one file only.
std::string recordedNetworkSignature() {
    std::ifstream in(TOLVO_SOURCE_DIR "/networks/default.md");
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("Nodes searched: ");
        if (line.rfind("Bench signature", 0) == 0 && at != std::string::npos)
            return line.substr(at);
    }
    return "no signature in networks/default.md";
}

// With the network the total is the network's signature, on the best SIMD path this CPU has
// and on the plain one (the kernel tests hold every path to the plain one's integers).
TEST(Bench, NetworkNodeTotalAtDepthSixIsTheNetworksRecordedSignatureOnEveryPath) {
    const std::string expected = recordedNetworkSignature();
    for (const std::string path : {"", " --simd plain"}) {
        Pipe bench("'" TOLVO_BUILD_DIR "/tolvo-bench' --learned --depth 6" + path);
        ASSERT_TRUE(bench.started());
        std::vector<std::string> lines;
        EXPECT_EQ(bench.until("Nodes searched:", &lines, 240000).value_or("no total"), expected)
            << path;
        ASSERT_FALSE(lines.empty()) << path;
        EXPECT_TRUE(startsWith(lines.front(), "Evaluation: network (embedded), SIMD ")) << path;
    }
}

}  // namespace

namespace {

// The nodes the bench with these flags reports for its first position (the start position).
uint64_t benchFirstPositionNodes(const std::string& flags) {
    Pipe bench("'" TOLVO_BUILD_DIR "/tolvo-bench' " + flags);
    const std::string first = bench.until(" 1  bestmove", nullptr, 240000).value_or("");
    const size_t at = first.find(" nodes ");
    return at == std::string::npos ? 0 : std::stoull(first.substr(at + 7));
}

// A fresh engine evaluates with the built-in network and searches as the network's bench does;
// "Use NNUE" off gives the hand-written evaluation's bench, its search state cleared as by a
// fresh start.
TEST(Bench, AFreshEngineSearchesAsTheNetworkBenchAndWithUseNnueOffAsTheHandWrittenOne) {
    const uint64_t network = benchFirstPositionNodes("--learned --depth 7");
    const uint64_t handWritten = benchFirstPositionNodes("--depth 7");
    ASSERT_NE(network, 0u);
    ASSERT_NE(handWritten, network);
    Pipe engine;
    ASSERT_TRUE(engine.send("setoption name Hash value 16") && engine.ready().empty());
    const auto nodesAtDepth7 = [&] {
        EXPECT_TRUE(engine.send("position startpos"));
        std::vector<std::string> lines;
        EXPECT_TRUE(engine.send("go depth 7") && engine.until("bestmove", &lines));
        const std::string last = lastWithPrefix(lines, "info depth 7 ");
        return last.empty() ? 0 : std::stoull(fieldOf(last, "nodes"));
    };
    EXPECT_EQ(nodesAtDepth7(), network);
    ASSERT_TRUE(engine.send("setoption name Use NNUE value false"));
    EXPECT_EQ(nodesAtDepth7(), handWritten);
    ASSERT_TRUE(engine.send("setoption name Use NNUE value true"));
    EXPECT_EQ(nodesAtDepth7(), network);
}

}  // namespace
