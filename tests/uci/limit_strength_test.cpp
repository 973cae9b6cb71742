// Limited strength through the pipe: the node cap holds in every kind of search, a held result
// still waits for its release, and the options read as a GUI sends them.
#include "search/strength.h"
#include "support/engine_pipe.h"

namespace {

uint64_t finalNodes(const std::vector<std::string>& lines) {
    const std::string nodes = fieldOf(lastWithPrefix(lines, "info depth"), "nodes");
    return nodes.empty() ? 0 : std::stoull(nodes);
}
std::string bestMoveOf(const std::vector<std::string>& lines) {
    return fieldOf(" " + lastWithPrefix(lines, "bestmove"), "bestmove");
}

class LimitedEngine : public EngineTest {
   protected:
    void expectLegal(const std::string& position, const std::vector<std::string>& lines) {
        const std::vector<std::string> legal = legalMoveTexts(position);
        EXPECT_NE(std::find(legal.begin(), legal.end(), bestMoveOf(lines)), legal.end())
            << lastWithPrefix(lines, "bestmove");
    }
};

TEST_F(LimitedEngine, TheNodeCapHoldsInEveryModeAndHeldSearchesWaitForTheirRelease) {
    const uint64_t cap = strengthSetting(StrengthEloMin).nodeCap;
    // The cap is looked at every 1024 nodes, after a first iteration that always completes.
    const uint64_t most = cap + 1024 + 2000;
    const std::string position = "position startpos moves e2e4 e7e5 g1f3";
    ASSERT_TRUE(
        engine.send("setoption name UCI_LimitStrength value true\n"
                    "setoption name UCI_Elo value 0\n" +
                    position));
    for (const char* go : {"go wtime 600000 btime 600000", "go nodes 100000000", "go depth 30",
                           "go movetime 60000"}) {
        SCOPED_TRACE(go);
        const std::vector<std::string> lines = engine.go(go, 5000);
        expectLegal(position, lines);
        EXPECT_LE(finalNodes(lines), most);
    }
    // An analysis and a ponder search end at the cap but answer only when released.
    const struct {
        const char *go, *release;
    } held[] = {{"go infinite", "stop"},
                {"go ponder wtime 600000 btime 600000", "ponderhit"},
                {"go ponder wtime 600000 btime 600000", "stop"}};
    for (const auto& h : held) {
        SCOPED_TRACE(h.go);
        ASSERT_TRUE(engine.send(h.go));
        EXPECT_EQ(countPrefix(engine.within(400), "bestmove"), 0);
        std::vector<std::string> lines = engine.go(h.release, 1000);
        expectLegal(position, lines);
    }
    // A tighter node limit of the "go" wins over the cap.
    const std::vector<std::string> lines = engine.go("go nodes 1", 5000);
    EXPECT_LT(finalNodes(lines), 2000u);
}

TEST_F(LimitedEngine, OptionValuesAreClampedAndOnlyTrueOrFalseSwitchTheLimit) {
    const uint64_t strongest = strengthSetting(StrengthEloMax).nodeCap;
    ASSERT_TRUE(
        engine.send("setoption name UCI_Elo value 99999\n"
                    "setoption name UCI_LimitStrength value true\n"
                    "setoption name UCI_LimitStrength value maybe\n"
                    "position startpos"));
    EXPECT_LE(finalNodes(engine.go("go nodes 100000000", 20000)), strongest + 1024 + 2000);
    ASSERT_TRUE(engine.send("setoption name UCI_LimitStrength value false"));
    EXPECT_GT(finalNodes(engine.go("go nodes " + std::to_string(strongest + 200000), 20000)),
              strongest + 100000);
}

}  // namespace

namespace {

// A limited search evaluates by hand whatever "Use NNUE" says; leaving the limit brings the
// network back, each switch with an empty table.
TEST_F(LimitedEngine, LimitedStrengthSearchesWithTheHandWrittenEvaluationWhateverUseNnueSays) {
    const std::string position = "position startpos moves e2e4";
    const auto nodesOfSearch = [&](Pipe& e) {
        EXPECT_TRUE(e.send(position));
        return finalNodes(e.go("go depth 6"));
    };
    // Fresh engines: limited with the hand-written evaluation, and the network at full
    // strength.
    Pipe handWritten, network;
    ASSERT_TRUE(handWritten.ready().empty() && network.ready().empty());
    ASSERT_TRUE(handWritten.send("setoption name UCI_LimitStrength value true"));
    ASSERT_TRUE(network.send("setoption name Use NNUE value true"));
    const uint64_t handNodes = nodesOfSearch(handWritten);
    const uint64_t networkNodes = nodesOfSearch(network);
    ASSERT_NE(handNodes, networkNodes);

    ASSERT_TRUE(engine.send("setoption name Use NNUE value true"));
    ASSERT_TRUE(engine.send("setoption name UCI_LimitStrength value true"));
    EXPECT_EQ(nodesOfSearch(engine), handNodes);
    ASSERT_TRUE(engine.send("setoption name Use NNUE value false"));
    ASSERT_TRUE(engine.send("setoption name Clear Hash"));
    EXPECT_EQ(nodesOfSearch(engine), handNodes);
    ASSERT_TRUE(engine.send("setoption name Use NNUE value true"));
    ASSERT_TRUE(engine.send("setoption name UCI_LimitStrength value false"));
    EXPECT_EQ(nodesOfSearch(engine), networkNodes);
    ASSERT_TRUE(engine.send("setoption name UCI_LimitStrength value true"));
    EXPECT_EQ(nodesOfSearch(engine), handNodes);
}

}  // namespace
