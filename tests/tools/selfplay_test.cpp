// The self-play referee, run as a child process: real games of the engine, and scripted fake
// engines that misbehave in each way the referee must catch.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/engine_pipe.h"
#include "support/scratch_dir.h"

namespace {

const std::string Referee = "'" TOLVO_BUILD_DIR "/tolvo-selfplay'";

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

// Runs the referee (its standard error joined to its output); fails the test unless it exits
// with the code and its output holds every text.
std::string expectRun(const std::string& arguments, int exitCode,
                      const std::vector<std::string>& texts) {
    Pipe referee(Referee + " " + arguments + " 2>&1");
    std::string output;
    EXPECT_EQ(referee.finish(output, true, 60000), "exit code " + std::to_string(exitCode))
        << output;
    for (const std::string& text : texts)
        EXPECT_NE(output.find(text), std::string::npos) << text << "\n" << output;
    return output;
}

TEST(SelfPlay, EnginePonderingGamesHaveNoIllegalMoveCrashOrTimeLoss) {
    const ScratchDir dir("tolvo-selfplay-games");
    const std::string pgn = dir.path + "/games.pgn";
    const std::string output = expectRun("--games 2 --tc 1+0.01 --ponder --verbose --pgn " + pgn, 0,
                                         {"2 games: ", "illegal 0, crashes 0, time losses 0"});
    EXPECT_EQ(countOf(readFile(pgn), "[Event "), 2);
    // Pondering really happened, and every ponder search was released.
    const int ponders = countOf(output, "< go ponder");
    EXPECT_GT(ponders, 0);
    EXPECT_LE(ponders, countOf(output, "< ponderhit") + countOf(output, "< stop"));
}

// Fake engines are shell scripts that play a fixed list of moves by ply: both sides of a game
// can run the same script. Each names the next move of the list as its ponder move. Special
// behaviour goes in case arms placed before the ordinary ones.
class SelfPlayReferee : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvo-selfplay-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name) << text;
        return dir + "/" + name;
    }
    std::string fake(const std::string& moves, const std::string& arms = "") {
        const std::string path =
            write("fake" + std::to_string(fakes++),
                  "#!/bin/sh\nMOVES='" + moves +
                      "'\nnth() { i=$1; shift; while [ $i -gt 0 ] && [ $# -gt 0 ]; do shift; "
                      "i=$((i-1)); done; echo \"$1\"; }\n"
                      "answer() { m=$(nth $n $MOVES); p=$(nth $((n+1)) $MOVES);\n"
                      "  if [ -n \"$p\" ]; then echo \"bestmove $m ponder $p\"; "
                      "else echo \"bestmove $m\"; fi; }\n"
                      "n=0\nheld=\nwhile IFS= read -r line; do\n  case \"$line\" in\n" +
                      arms +
                      "    uci) echo 'id name Scripted'; echo uciok ;;\n"
                      "    isready) echo readyok ;;\n"
                      "    quit) exit 0 ;;\n"
                      "    'position '*' moves '*) set -- ${line#* moves }; n=$# ;;\n"
                      "    position*) n=0 ;;\n"
                      "    'go ponder'*) held=$(answer) ;;\n"
                      "    go*) answer ;;\n"
                      "    ponderhit|stop) if [ -n \"$held\" ]; then echo \"$held\"; held=; fi ;;\n"
                      "  esac\ndone\n");
        chmod(path.c_str(), 0755);
        return path;
    }
    // A match of a faulty engine, as White in the first game, against a sound one.
    std::string againstSound(const std::string& options, const std::string& arms, int exitCode,
                             const std::vector<std::string>& texts,
                             const std::string& soundArms = "") {
        const std::string opening = "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6";
        return expectRun(
            options + " --engine " + fake(opening, arms) + " --engine " + fake(opening, soundArms),
            exitCode, texts);
    }
    // Both sides played by one script.
    void selfMatch(const std::string& options, const std::string& moves, int exitCode,
                   const std::vector<std::string>& texts) {
        const std::string engine = fake(moves);
        expectRun(options + " --engine " + engine + " --engine " + engine, exitCode, texts);
    }

    std::string dir;
    int fakes = 0;
};

TEST_F(SelfPlayReferee, IllegalOrUnreadableBestMoveLosesTheGameForEitherColour) {
    // The bad move is the first move as White, and the reply to e2e4 as Black.
    for (const std::string bad : {"a1a1", "e2e4q", "e2e4e7e5", ""}) {
        SCOPED_TRACE(bad);
        againstSound("--games 2 --tc 5+0", "    go*) echo bestmove " + bad + " ;;\n", 1,
                     {"Game 1: Scripted [1] - Scripted [2]: 0-1, White plays an illegal move",
                      "Game 2: Scripted [2] - Scripted [1]: 1-0, Black plays an illegal move",
                      "2 games: 0-0-2, illegal 2, crashes 0, time losses 0"});
    }
    // The bishop on e2 is pinned by the rook on e8: e2d3 is generated but not legal.
    selfMatch("--games 1 --openings " + write("pin.fen", "4r2k/8/8/8/8/8/4B3/4K3 w - - 0 1\n"),
              "e2d3", 1, {"0-1, White plays an illegal move: bestmove e2d3"});
    expectRun("--games 1 --openings " + write("bad.fen", "8/8/8/8/8/8/8/4K3 w - - 0 1\n"), 2,
              {"bad.fen:1: not a playable position"});
}

TEST_F(SelfPlayReferee, SlowSilentOrDeadEngineLosesAndIsRestarted) {
    const auto started = std::chrono::steady_clock::now();
    againstSound("--games 2 --tc 0.3+0", "    go*) ;;\n", 1,
                 {"0-1, White loses on time: no \"bestmove\" within",
                  "1-0, Black loses on time: no \"bestmove\" within",
                  "2 games: 0-0-2, illegal 0, crashes 0, time losses 2"});
    // Each loss is called at 300 ms plus the 100 ms grace, not at some later time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    againstSound("--games 1 --movetime 100 --verbose", "    go*) sleep 0.6; answer ;;\n", 1,
                 {"< go movetime 100\n", "0-1, White loses on time: no \"bestmove\" within 2"});
    // Answering a ponder search before it is released is a fault too; the opponent takes its
    // time, so the early answer surely comes before its move.
    againstSound("--games 1 --ponder", "    'go ponder'*) answer ;;\n", 1,
                 {"0-1, White answered before \"ponderhit\" or \"stop\""},
                 "    go*) sleep 0.3; answer ;;\n");
    // An engine that exits, or never gets ready, has crashed.
    const std::string output =
        againstSound("--games 2", "    go*) exit 3 ;;\n", 1,
                     {"2 games: 0-0-2, illegal 0, crashes 2, time losses 0"});
    EXPECT_EQ(countOf(output, "crashed (exit code 3)"), 2);
    againstSound("--games 1 --timeout 1", "    isready) ;;\n", 1,
                 {"0-1, White hung: no \"readyok\" within 1 s", "crashes 1, time losses 0"});
}

TEST_F(SelfPlayReferee, GamesPlayedAtOnceAreEachJudgedAndForfeitsOnFileFailEveryRun) {
    const std::string opening = "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6";
    const std::string arguments =
        "--games 4 --concurrency 2 --verbose --results " + dir + "/crashes.results --engine " +
        fake(opening, "    go*) exit 3 ;;\n") + " --engine " + fake(opening);
    const std::string output = expectRun(
        arguments, 1, {"4 games at 1+0.01, 2 at a time", "4 games: 0-0-4, illegal 0, crashes 4"});
    EXPECT_EQ(countOf(output, "crashed (exit code 3)"), 4);
    // Four engines, logged apart.
    for (const char* tag : {"[1] < uci", "[2] < uci", "[3] < uci", "[4] < uci"})
        EXPECT_NE(output.find(tag), std::string::npos) << tag;
    const std::string results = readFile(dir + "/crashes.results");
    for (int game = 1; game <= 4; ++game)
        EXPECT_EQ(countOf(results, "game=" + std::to_string(game) + " "), 1) << results;
    EXPECT_EQ(countOf(results, "crashes=1"), 4);
    // Nothing is left to play, and the forfeits on file still fail the run.
    const std::string again = expectRun(
        arguments, 1, {"4 games on file, 0 to play", "4 games: 0-0-4, illegal 0, crashes 4"});
    EXPECT_EQ(countOf(again, "< uci"), 0);
}

TEST_F(SelfPlayReferee, GamesEndExactlyWhenTheRulesSayAndAreRecordedInStandardNotation) {
    const std::string pgn = dir + "/games.pgn";
    // Engine 1 has Black in the second game: one win each.
    selfMatch("--games 2 --pgn " + pgn, "f2f3 e7e5 g2g4 d8h4 a2a3", 0,
              {"Game 1: Scripted [1] - Scripted [2]: 0-1, Black mates, 4 plies",
               "2 games: 1-0-1, illegal 0, crashes 0, time losses 0"});
    const std::string games = readFile(pgn);
    for (const char* text :
         {"[Result \"0-1\"]", "1. f3 {", "2. g4 {", " Qh4# {", "{Black mates} 0-1"})
        EXPECT_NE(games.find(text), std::string::npos) << text << "\n" << games;
    // The third occurrence draws, not the second.
    selfMatch("--games 1", "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 e2e4", 0,
              {"1/2-1/2, threefold repetition, 8 plies"});
    // A knight cannot mate: the capture of the rook ends the game. Opening 2: h1g2 stalemates.
    selfMatch(
        "--games 3 --openings " +
            write("draws.fen", "7k/8/8/8/8/8/6r1/6NK w - - 0 1\nk7/8/1Q6/8/8/8/8/7K w - - 0 1\n"),
        "h1g2 h8g8", 0,
        {"Game 1: Scripted [1] - Scripted [2]: 1/2-1/2, insufficient material, 1 plies",
         "Game 3: Scripted [1] - Scripted [2]: 1/2-1/2, stalemate, 1 plies"});
}

}  // namespace
