// The self-play referee, run as a child process: real games of the engine, and scripted fake
// engines that misbehave in each way the referee must catch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace {

const std::string Referee = TOLVO_BUILD_DIR "/tolvo-selfplay";

struct RefereeRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error
};

// Runs the referee with the arguments under a time limit, so that a hung referee fails the
// test instead of hanging it; exit code 124 means the limit was hit.
RefereeRun runReferee(const std::string& arguments, int limitSeconds = 60) {
    std::string command =
        "timeout -k 5 " + std::to_string(limitSeconds) + " " + Referee + " " + arguments + " 2>&1";
    RefereeRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The referee's exit code and every expected text of its output, each reported with it all.
void expectRun(const RefereeRun& run, int exitCode, const std::vector<std::string>& texts) {
    EXPECT_EQ(run.exitCode, exitCode) << run.output;
    for (const std::string& text : texts)
        EXPECT_NE(run.output.find(text), std::string::npos) << text << "\n" << run.output;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Gone, or a zombie that nobody reaped yet.
bool isDead(pid_t pid) {
    if (kill(pid, 0) != 0) return errno == ESRCH;
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

// The processes listed in the file are dead within two seconds; an orphaned child may linger
// as a zombie until the system reaps it, dead all the same.
void expectAllDead(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) {
        bool dead = false;
        for (int tries = 0; tries < 200 && !dead; ++tries) {
            dead = isDead(pid);
            if (!dead) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(dead) << "process " << pid << " outlived the referee";
    }
}

std::vector<pid_t> readPids(const std::string& path) {
    std::vector<pid_t> pids;
    std::ifstream in(path);
    for (pid_t pid; in >> pid;) pids.push_back(pid);
    return pids;
}

// Fake engines are shell scripts that play a fixed list of moves by ply: both sides of a game
// can run the same script. Each names as its ponder move the next move of the list, or the
// entry of its own prediction list when it has one. Special behaviour goes in case arms
// placed before the ordinary ones.
struct FakeEngine {
    std::string moves;
    std::string arms = "";
    std::string predictions = "";
};

// The scripted opponent for the fault tests: it answers every position from the start.
const std::string Opening = "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6";

class SelfPlayReferee : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvo-selfplay-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text) {
        std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    std::string fake(const FakeEngine& f) {
        std::string script =
            "#!/bin/sh\nMOVES='" + f.moves + "'\nPREDICTIONS='" + f.predictions +
            "'\n"
            "nth() { i=$1; shift; while [ $i -gt 0 ] && [ $# -gt 0 ]; do shift; i=$((i-1)); "
            "done; echo \"$1\"; }\n"
            "answer() {\n"
            "  m=$(nth $n $MOVES)\n"
            "  if [ -n \"$PREDICTIONS\" ]; then p=$(nth $n $PREDICTIONS); "
            "else p=$(nth $((n+1)) $MOVES); fi\n"
            "  if [ -n \"$p\" ]; then echo \"bestmove $m ponder $p\"; "
            "else echo \"bestmove $m\"; fi\n"
            "}\n"
            "n=0\nheld=\n"
            "while IFS= read -r line; do\n"
            "  case \"$line\" in\n" +
            f.arms +
            "    uci) echo 'id name Scripted'; echo uciok ;;\n"
            "    isready) echo readyok ;;\n"
            "    quit) exit 0 ;;\n"
            "    'position '*' moves '*) set -- ${line#* moves }; n=$# ;;\n"
            "    position*) n=0 ;;\n"
            "    'go ponder'*) held=$(answer) ;;\n"
            "    go*) answer ;;\n"
            "    ponderhit|stop) if [ -n \"$held\" ]; then echo \"$held\"; held=; fi ;;\n"
            "  esac\n"
            "done\n";
        std::string path = write("fake" + std::to_string(fakes++), script);
        chmod(path.c_str(), 0755);
        return path;
    }

    // A match of the first fake engine against the second, or against itself.
    RefereeRun match(const std::string& options, const FakeEngine& first,
                     const FakeEngine* second = nullptr) {
        std::string one = fake(first);
        return runReferee(options + " --engine " + one + " --engine " +
                          (second ? fake(*second) : one));
    }
    RefereeRun againstSound(const std::string& options, const FakeEngine& faulty) {
        const FakeEngine sound{Opening};
        return match(options, faulty, &sound);
    }

    std::string dir;
    int fakes = 0;
};

TEST(SelfPlay, EngineShortMatchHasNoIllegalMoveCrashOrTimeLoss) {
    const std::string pgn = ::testing::TempDir() + "tolvo-selfplay-short.pgn";
    RefereeRun run = runReferee("--games 3 --tc 1+0.01 --pgn " + pgn, 55);
    expectRun(run, 0, {"3 games: ", "illegal 0, crashes 0, time losses 0"});
    EXPECT_EQ(countOf(readFile(pgn), "[Event "), 3) << readFile(pgn);
    std::remove(pgn.c_str());
}

TEST(SelfPlay, EnginePonderingGameHasNoIllegalMoveCrashOrTimeLoss) {
    RefereeRun run = runReferee("--games 1 --tc 1+0.01 --ponder --verbose", 30);
    expectRun(run, 0, {"1 games: ", "illegal 0, crashes 0, time losses 0"});
    // Pondering really happened, and every ponder search was released.
    int ponders = countOf(run.output, "< go ponder");
    EXPECT_GT(ponders, 0) << run.output;
    EXPECT_LE(ponders, countOf(run.output, "< ponderhit") + countOf(run.output, "< stop"));
}

TEST_F(SelfPlayReferee, IllegalOrUnreadableBestMoveLosesTheGameForEitherColour) {
    // The bad move is the first move as White, and the reply to e2e4 as Black; a "bestmove"
    // without a move is as illegal.
    for (const std::string bad : {"a1a1", "e2e5", "e2e4q", "0000", "e2e4e7e5"}) {
        SCOPED_TRACE(bad);
        expectRun(againstSound("--games 2 --tc 5+0", {bad + " " + bad}), 1,
                  {"Game 1: Scripted [1] - Scripted [2]: 0-1, White plays an illegal move",
                   "Game 2: Scripted [2] - Scripted [1]: 1-0, Black plays an illegal move",
                   "2 games: 0-0-2, illegal 2, crashes 0, time losses 0"});
    }
    expectRun(againstSound("--games 1", {"", "    go*) echo bestmove ;;\n"}), 1,
              {"0-1, White plays an illegal move: bestmove,"});
    // The bishop on e2 is pinned by the rook on e8: e2d3 is generated but not legal.
    const std::string pin = write("pin.fen", "4r2k/8/8/8/8/8/4B3/4K3 w - - 0 1\n");
    expectRun(match("--games 1 --openings " + pin, {"e2d3"}), 1,
              {"0-1, White plays an illegal move: bestmove e2d3"});
}

TEST_F(SelfPlayReferee, EngineThatNeverAnswersLosesOnTimeAndIsRestarted) {
    auto started = std::chrono::steady_clock::now();
    RefereeRun run = againstSound("--games 2 --tc 0.3+0", {"", "    go*) ;;\n"});
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    expectRun(run, 1,
              {"0-1, White loses on time: no \"bestmove\" within",
               "1-0, Black loses on time: no \"bestmove\" within",
               "2 games: 0-0-2, illegal 0, crashes 0, time losses 2"});
    // Each loss is called at 300 ms plus the 100 ms grace, not at some later time-out.
    EXPECT_LT(seconds, 5.0);
}

TEST_F(SelfPlayReferee, FixedMoveTimeAndDepthAreSentAndEnforced) {
    const FakeEngine sound{Opening}, slow{Opening, "    go*) sleep 0.6; answer ;;\n"};
    RefereeRun run = match("--games 1 --movetime 100 --verbose", sound, &slow);
    expectRun(run, 1,
              {"[1] < go movetime 100\n", "1-0, Black loses on time: no \"bestmove\" within 2",
               "Smallest margin: "});
    // At a fixed depth only the time-out bounds a move: the slow engine plays on until the
    // script runs out of moves.
    run = match("--games 1 --depth 3 --timeout 1 --verbose", sound, &slow);
    expectRun(run, 1,
              {"[2] < go depth 3\n", "0-1, White plays an illegal move: bestmove, 6 plies"});
    EXPECT_EQ(run.output.find("Smallest margin: "), std::string::npos) << run.output;
}

TEST_F(SelfPlayReferee, EngineThatExitsOrNeverGetsReadyIsACrash) {
    RefereeRun run = againstSound("--games 2", {"", "    go*) exit 3 ;;\n"});
    expectRun(run, 1, {"2 games: 0-0-2, illegal 0, crashes 2, time losses 0"});
    EXPECT_EQ(countOf(run.output, "crashed (exit code 3)"), 2) << run.output;
    expectRun(
        againstSound("--games 1 --timeout 1", {"", "    isready) ;;\n"}), 1,
        {"0-1, White hung: no \"readyok\" within 1 s", "illegal 0, crashes 1, time losses 0"});
}

TEST_F(SelfPlayReferee, EnginesAndWhatTheyStartedAreGoneWhenTheRefereeExits) {
    const std::string pids = dir + "/pids";
    // Records its own id and that of a child it leaves running, then hangs.
    RefereeRun run = againstSound(
        "--games 1 --tc 0.2+0",
        {"", "    go*) echo $$ >> " + pids + "; sleep 1000 & echo $! >> " + pids + "; wait ;;\n"});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    ASSERT_EQ(readPids(pids).size(), 2u) << run.output;
    expectAllDead(readPids(pids));
}

TEST_F(SelfPlayReferee, InterruptedRefereeEndsItsEnginesFirst) {
    const std::string pids = dir + "/pids";
    const std::string sound = fake({Opening});
    const std::string hanging = fake(
        {"", "    go*) sleep 1000 & echo $! >> " + pids + "; echo $$ >> " + pids + "; wait ;;\n"});
    ChildProcess referee{Referee,
                         {"--games", "1", "--tc", "30+0", "--engine", hanging, "--engine", sound}};
    ASSERT_TRUE(referee.started());
    std::vector<pid_t> started;
    for (int tries = 0; tries < 500 && started.size() < 2; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        started = readPids(pids);
    }
    ASSERT_EQ(started.size(), 2u);
    kill(referee.pid(), SIGINT);
    EXPECT_EQ(referee.waitExit(5000), 128 + SIGINT);
    expectAllDead(started);
}

TEST_F(SelfPlayReferee, CheckmateEndsTheGameAndIsRecordedInStandardNotation) {
    const std::string pgn = dir + "/games.pgn";
    // Engine 1 has Black in the second game: one win each.
    expectRun(match("--games 2 --pgn " + pgn, {"f2f3 e7e5 g2g4 d8h4 a2a3"}), 0,
              {"Game 1: Scripted [1] - Scripted [2]: 0-1, Black mates, 4 plies",
               "2 games: 1-0-1, illegal 0, crashes 0, time losses 0"});
    std::string games = readFile(pgn);
    for (const char* text :
         {"[Result \"0-1\"]", "1. f3 {", "2. g4 {", " Qh4# {", "{Black mates} 0-1"})
        EXPECT_NE(games.find(text), std::string::npos) << text << "\n" << games;
}

TEST_F(SelfPlayReferee, DrawsAreCalledExactlyWhenTheyArise) {
    struct Case {
        const char* openings;  // empty: the start position
        int games;
        const char* moves;
        int exitCode;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        // The third occurrence draws, not the second.
        {"",
         1,
         "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 e2e4",
         0,
         {"1/2-1/2, threefold repetition, 8 plies"}},
        // After e2e4 no black pawn can take en passant, so the position after it is the same
        // as the one after the knights' first and second round trips.
        {"",
         1,
         "e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8 f3g1 a7a6 a2a3 a6a5",
         0,
         {"1/2-1/2, threefold repetition, 9 plies"}},
        {"7k/8/6K1/8/8/8/8/5Q2 w - - 0 1\n", 1, "f1f7 h8g8", 0, {"1/2-1/2, stalemate, 1 plies"}},
        // Opening 1: a1a8 is check but not mate, and makes the hundredth quiet half-move.
        // Opening 2: a1a8 mates with it.
        {"7k/8/8/8/8/8/8/R6K w - - 99 60\n7k/8/6K1/8/8/8/8/R7 w - - 99 60\n",
         3,
         "a1a8 h8g7",
         0,
         {"Game 1: Scripted [1] - Scripted [2]: 1/2-1/2, 50-move rule, 1 plies",
          "Game 3: Scripted [1] - Scripted [2]: 1-0, White mates, 1 plies"}},
        // Knight, and two bishops on dark squares: the capture of the rook ends the game.
        // Bishops on both colours can still mate: the game goes on past the capture, until
        // the script runs out of moves.
        {"7k/8/8/8/8/8/6r1/6NK w - - 0 1\n7k/8/8/8/8/8/6r1/4B1BK w - - 0 1\n"
         "7k/8/8/8/8/8/6r1/5BBK w - - 0 1\n",
         6,
         "h1g2 h8g8",
         1,
         {"Game 1: Scripted [1] - Scripted [2]: 1/2-1/2, insufficient material, 1 plies",
          "Game 3: Scripted [1] - Scripted [2]: 1/2-1/2, insufficient material, 1 plies",
          "Game 5: Scripted [1] - Scripted [2]: 0-1, White plays an illegal move: bestmove, 2 "
          "plies"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moves);
        std::string options = "--games " + std::to_string(c.games);
        if (*c.openings) options += " --openings " + write("openings.fen", c.openings);
        expectRun(match(options, {c.moves}), c.exitCode, c.texts);
    }
}

TEST_F(SelfPlayReferee, PonderSearchIsReleasedByPonderhitOrStop) {
    // The first engine always predicts the reply the game will see; the second never does.
    const std::string moves = "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8";
    const FakeEngine right{moves}, wrong{moves, "", "a2a3 a2a3 a2a3 a2a3 a2a3 a2a3 a2a3 a2a3"};
    RefereeRun run = match("--games 1 --ponder --verbose", right, &wrong);
    expectRun(run, 0, {"1/2-1/2, threefold repetition, 8 plies"});
    EXPECT_EQ(countOf(run.output, "[1] < ponderhit"), 3) << run.output;
    EXPECT_EQ(countOf(run.output, "[2] < stop"), 3) << run.output;
    // The ponder search that was still running when the game ended was stopped too.
    EXPECT_EQ(countOf(run.output, "[1] < stop") + countOf(run.output, "[2] < stop"),
              countOf(run.output, "< go ponder") - 3)
        << run.output;
}

TEST_F(SelfPlayReferee, BestMoveBeforePonderhitIsAFault) {
    // The opponent takes its time, so the early answer surely comes before its move.
    const FakeEngine eager{Opening, "    'go ponder'*) answer ;;\n"},
        slow{Opening, "    go*) sleep 0.3; answer ;;\n"};
    expectRun(match("--games 1 --ponder", eager, &slow), 1,
              {"0-1, White answered before \"ponderhit\" or \"stop\""});
}

TEST_F(SelfPlayReferee, UnplayableOpeningIsRefusedBeforeAnyGame) {
    const std::string openings = write("bad.fen", "8/8/8/8/8/8/8/4K3 w - - 0 1\n");
    expectRun(runReferee("--games 1 --openings " + openings), 2,
              {"bad.fen:1: not a playable position"});
}

}  // namespace
