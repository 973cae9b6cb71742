// The tablebase options: their own line reader and their values (in-process), and what a GUI
// sees when it sets a path, good or bad, through a pipe: exactly one "info string" line, never
// a crash or a hang, and a path sent during a search applied after it.
#include <string>
#include <vector>

#include "search/control.h"
#include "search/threads.h"
#include "search/tt.h"
#include "support/engine_pipe.h"
#include "support/table_folder.h"
#include "tablebase/tablebase.h"
#include "uci/options.h"

namespace {

class SyzygyOptions : public ::testing::Test {
   protected:
    void TearDown() override {
        setOption("setoption name SyzygyPath value <empty>");
        setOption("setoption name SyzygyProbeDepth value 1");
        setOption("setoption name Syzygy50MoveRule value true");
        setOption("setoption name SyzygyProbeLimit value 7");
        setOption("setoption name UCI_ShowWDL value false");
    }
};

TEST_F(SyzygyOptions, ValuesAreClampedOrLeftAndAPathTouchesNoOtherOption) {
    const struct {
        const char* line;
        int32_t* value;
        int32_t expected;
    } checks[] = {
        {"setoption name SyzygyProbeDepth value 12", &SyzygyProbeDepth, 12},
        {"setoption name SyzygyProbeDepth value 0", &SyzygyProbeDepth, 1},
        {"setoption name SyzygyProbeDepth value 99999999999999999999", &SyzygyProbeDepth, 100},
        {"setoption name SyzygyProbeLimit value 5", &SyzygyProbeLimit, 5},
        {"setoption name SyzygyProbeLimit value -3", &SyzygyProbeLimit, 0},
        {"setoption name SyzygyProbeLimit value 8", &SyzygyProbeLimit, 7},
        {"setoption name Syzygy50MoveRule value FALSE", &Syzygy50MoveRule, 0},
        {"setoption name Syzygy50MoveRule value maybe", &Syzygy50MoveRule, 0},
        {"setoption name Syzygy50MoveRule value true ", &Syzygy50MoveRule, 1},
        {"setoption name UCI_ShowWDL value true", &ShowWdl, 1},
        {"setoption name UCI_ShowWDL value", &ShowWdl, 1},
        {"setoption name UCI_ShowWDL value False", &ShowWdl, 0},
    };
    for (const auto& c : checks) {
        setOption(c.line);
        EXPECT_EQ(*c.value, c.expected) << c.line;
    }
    const int32_t hash = HashMegabytes, depth = SyzygyProbeDepth;
    setOption(
        "setoption name SyzygyPath value /no/such Hash value 2048 Threads value 3 "
        "SyzygyProbeDepth value 50 UCI_ShowWDL value true");
    EXPECT_EQ(HashMegabytes, hash);
    EXPECT_EQ(searchThreadCount(), 1);
    EXPECT_EQ(SyzygyProbeDepth, depth);
    EXPECT_EQ(ShowWdl, 0);
    EXPECT_EQ(tablebaseLargest(), 0);

    setOption(("setoption name SyzygyPath value " + TestTables + " \t").c_str());
    EXPECT_EQ(tablebaseLargest(), 4);
    for (const char* empty :
         {"setoption name SyzygyPath value <empty>", "setoption name SyzygyPath",
          "setoption name SyzygyPath value ", "setoption name SyzygyPath value"}) {
        setOption(("setoption name SyzygyPath value " + TestTables).c_str());
        ASSERT_EQ(tablebaseLargest(), 4);
        setOption(empty);
        EXPECT_EQ(tablebaseLargest(), 0) << empty;
    }
}

TEST_F(SyzygyOptions, APathSentDuringASearchIsCopiedAndAppliedAfterIt) {
    setGoRunning(true);
    std::string line = "setoption name SyzygyPath value " + TestTables;
    setOption(line.c_str());
    line.assign(line.size(), 'x');  // the line buffer is reused by the next line read
    EXPECT_EQ(tablebaseLargest(), 0);
    setGoRunning(false);
    applyDeferredOptions();
    EXPECT_EQ(tablebaseLargest(), 4);
}

using SyzygySession = EngineTest;

// The one line a path gets, after any line before the "readyok" that follows it.
std::vector<std::string> setPath(Pipe& engine, const std::string& path) {
    EXPECT_TRUE(engine.send("setoption name SyzygyPath value " + path));
    return engine.ready();
}

TEST_F(SyzygySession, EveryPathGetsOneLineAndBadFilesAreNotUsed) {
    ASSERT_TRUE(engine.send("uci"));
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.until("uciok", &lines));
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const auto chess960 = at("option name UCI_Chess960 type check default false ");
    EXPECT_EQ(at("option name SyzygyPath type string default <empty> "), chess960 + 1);
    EXPECT_EQ(at("option name UCI_ShowWDL type check default false "), chess960 + 5);

    ScratchFolder empty, cut, damaged, mixed;
    ASSERT_FALSE(empty.path.empty() || cut.path.empty() || damaged.path.empty() ||
                 mixed.path.empty());
    for (const char* name : {"KQvK.rtbw", "KQvK.rtbz", "KRvKP.rtbw"}) {
        cut.truncated(name, fileBytes(TestTables + "/" + name).size() / 2);
        damaged.damagedHeader(name);
    }
    mixed.copyAll();
    mixed.truncated("KRvKP.rtbz", 5000);
    const std::string all = "info string SyzygyPath " + TestTables +
                            ": 35 tables (35 with distance to zero), largest 4 pieces";
    const struct {
        std::string path, said;
    } cases[] = {
        {TestTables, all},
        {"/no/such/folder",
         "info string SyzygyPath /no/such/folder: no tables found; not used: "
         "/no/such/folder: no such folder"},
        {empty.path, "info string SyzygyPath " + empty.path + ": no tables found"},
        {cut.path,
         "info string SyzygyPath " + cut.path + ": no tables found; not used: " + cut.path + ": K"},
        {damaged.path, "info string SyzygyPath " + damaged.path +
                           ": no tables found; not used: " + damaged.path + ": K"},
        // Good tables with a bad one among them: the folder is kept from the prober whole.
        {mixed.path + ":" + TestTables,
         "info string SyzygyPath " + mixed.path + ":" + TestTables +
             ": 35 tables (35 with distance to zero), largest 4 pieces; not used: " + mixed.path +
             ": KRvKP.rtbz truncated (5000 bytes)"},
        {TOLVO_BUILD_DIR "/tolvo",
         "info string SyzygyPath " TOLVO_BUILD_DIR
         "/tolvo: no tables found; not used: " TOLVO_BUILD_DIR "/tolvo: not a folder"},
        // Another option's words belong to the path.
        {TOLVO_BUILD_DIR "/x Hash value 2048",
         "info string SyzygyPath " TOLVO_BUILD_DIR "/x Hash value 2048: no tables found; "
         "not used: " TOLVO_BUILD_DIR "/x Hash value 2048: no such folder"},
        // Control characters are echoed as "?": the reply stays one line of plain text.
        {"/no\x01su\x1b[2Jch\tfolder",
         "info string SyzygyPath /no?su?[2Jch?folder: no tables "
         "found; not used: /no?su?[2Jch?folder: no such folder"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> said = setPath(engine, c.path);
        ASSERT_EQ(said.size(), 1u) << c.path;
        EXPECT_TRUE(startsWith(said[0], c.said)) << said[0];
    }
    // The truncated and damaged folders name why.
    EXPECT_NE(setPath(engine, cut.path)[0].find("KQvK.rtbw truncated ("), std::string::npos);
    EXPECT_NE(setPath(engine, damaged.path)[0].find("KQvK.rtbz damaged header"), std::string::npos);
    // Still a live engine, and the table size was not touched by the path's words.
    EXPECT_TRUE(setPath(engine, "<empty>").empty());
    EXPECT_TRUE(setPath(engine, "").empty());
    ASSERT_TRUE(engine.send("position fen 8/8/8/3k4/8/8/8/R3K3 w - - 0 1"));
    EXPECT_FALSE(lastWithPrefix(engine.go("go depth 4"), "bestmove").empty());
}

TEST_F(SyzygySession, APathSentDuringASearchIsReportedOnceAfterTheBestMove) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go infinite"));
    ASSERT_TRUE(engine.send("setoption name SyzygyPath value " + TestTables));
    // Nothing is said while the search runs.
    const std::vector<std::string> during = engine.ready();
    EXPECT_EQ(countPrefix(during, "info string SyzygyPath"), 0);
    ASSERT_TRUE(engine.send("stop"));
    std::vector<std::string> after;
    ASSERT_TRUE(engine.until("bestmove", &after));
    const std::vector<std::string> said = engine.ready();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "info string SyzygyPath " + TestTables +
                           ": 35 tables (35 with distance to zero), largest 4 pieces");
}

// With no path the engine is the one it was: the same search, node for node, as with the
// options set to anything while no table is loaded.
TEST_F(SyzygySession, WithoutTablesTheOptionsChangeNoSearch) {
    const auto search = [](Pipe& e) {
        EXPECT_TRUE(e.send("position fen 8/8/8/3k4/8/2P5/8/R3K3 w - - 0 1"));
        return lastWithPrefix(e.go("go depth 8"), "info depth 8");
    };
    const std::string before = search(engine);
    for (const char* line :
         {"setoption name SyzygyProbeDepth value 3", "setoption name Syzygy50MoveRule value false",
          "setoption name SyzygyProbeLimit value 4", "setoption name UCI_ShowWDL value true",
          "setoption name SyzygyPath value <empty>", "setoption name SyzygyPath value"})
        ASSERT_TRUE(engine.send(line));
    EXPECT_TRUE(engine.ready().empty());
    ASSERT_TRUE(engine.send("setoption name Clear Hash"));
    const std::string after = search(engine);
    EXPECT_NE(before, "");
    EXPECT_EQ(fieldOf(after, "nodes"), fieldOf(before, "nodes"));
    EXPECT_EQ(fieldOf(after, "score"), fieldOf(before, "score"));
}

}  // namespace
