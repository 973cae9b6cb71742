// The self-play referee, run as a child process: real games of the engine, and scripted fake
// engines that misbehave in each way the referee must catch.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string Referee = TOLVO_BUILD_DIR "/tolvo-selfplay";
const std::string Engine = TOLVO_ENGINE_PATH;

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

// Fake engines are shell scripts that play a fixed list of moves by ply: both sides of a game
// can run the same script. Each names as its ponder move the next move of the list, or the
// entry of its own prediction list when it has one. Special behaviour goes in case arms
// placed before the ordinary ones.
struct FakeEngine {
    std::string moves;
    std::string predictions;
    std::string arms;
};

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

    std::string fake(const std::string& name, const FakeEngine& f) {
        std::string script =
            "#!/bin/sh\n"
            "MOVES='" +
            f.moves +
            "'\n"
            "PREDICTIONS='" +
            f.predictions +
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
            "n=0\n"
            "held=\n"
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
        std::string path = write(name, script);
        chmod(path.c_str(), 0755);
        return path;
    }

    std::string dir;
};

// The scripted opponent for the fault tests: it answers every position from the start.
const FakeEngine SoundOpening{"e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", "", ""};

TEST(SelfPlay, EngineShortMatchHasNoIllegalMoveCrashOrTimeLoss) {
    const std::string pgn = ::testing::TempDir() + "tolvo-selfplay-short.pgn";
    RefereeRun run = runReferee("--games 3 --tc 1+0.01 --pgn " + pgn, 55);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("3 games: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("illegal 0, crashes 0, time losses 0"), std::string::npos)
        << run.output;
    std::string games = readFile(pgn);
    EXPECT_EQ(countOf(games, "[Event "), 3) << games;
    std::remove(pgn.c_str());
}

TEST(SelfPlay, EnginePonderingGameHasNoIllegalMoveCrashOrTimeLoss) {
    RefereeRun run = runReferee("--games 1 --tc 1+0.01 --ponder --verbose", 30);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1 games: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("illegal 0, crashes 0, time losses 0"), std::string::npos)
        << run.output;
    // Pondering really happened, and every ponder search was released.
    int ponders = countOf(run.output, "< go ponder");
    EXPECT_GT(ponders, 0) << run.output;
    EXPECT_LE(ponders, countOf(run.output, "< ponderhit") + countOf(run.output, "< stop"));
}

TEST_F(SelfPlayReferee, IllegalOrUnreadableBestMoveLosesTheGameForEitherColour) {
    const std::string sound = fake("sound", SoundOpening);
    for (const char* bad : {"a1a1", "e2e5", "e2e4q", "0000", "e2e4e7e5"}) {
        // The bad move is the first move as White, and the reply to e2e4 as Black.
        const std::string cheat = fake("cheat", FakeEngine{std::string(bad) + " " + bad, "", ""});
        RefereeRun run = runReferee("--games 2 --tc 5+0 --engine " + cheat + " --engine " + sound);
        EXPECT_EQ(run.exitCode, 1) << bad << "\n" << run.output;
        EXPECT_NE(run.output.find("Game 1: Scripted [1] - Scripted [2]: 0-1, White plays an "
                                  "illegal move"),
                  std::string::npos)
            << bad << "\n"
            << run.output;
        EXPECT_NE(run.output.find("Game 2: Scripted [2] - Scripted [1]: 1-0, Black plays an "
                                  "illegal move"),
                  std::string::npos)
            << bad << "\n"
            << run.output;
        EXPECT_NE(run.output.find("2 games: 0-0-2, illegal 2, crashes 0, time losses 0"),
                  std::string::npos)
            << bad << "\n"
            << run.output;
    }
}

TEST_F(SelfPlayReferee, BestMoveWithoutAMoveIsIllegal) {
    const std::string sound = fake("sound", SoundOpening);
    const std::string mute = fake("mute", FakeEngine{"", "", "    go*) echo bestmove ;;\n"});
    RefereeRun run = runReferee("--games 1 --engine " + mute + " --engine " + sound);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("0-1, White plays an illegal move: bestmove,"), std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, PseudoLegalMoveThatExposesTheKingIsIllegal) {
    // The bishop on e2 is pinned by the rook on e8: e2d3 is generated but not legal.
    const std::string openings = write("pin.fen", "4r2k/8/8/8/8/8/4B3/4K3 w - - 0 1\n");
    const std::string cheat = fake("cheat", FakeEngine{"e2d3", "", ""});
    RefereeRun run = runReferee("--games 1 --openings " + openings + " --engine " + cheat +
                                " --engine " + cheat);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("0-1, White plays an illegal move: bestmove e2d3"), std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, EngineThatNeverAnswersLosesOnTimeAndIsRestarted) {
    const std::string sound = fake("sound", SoundOpening);
    const std::string silent = fake("silent", FakeEngine{"", "", "    go*) ;;\n"});
    auto started = std::chrono::steady_clock::now();
    RefereeRun run = runReferee("--games 2 --tc 0.3+0 --engine " + silent + " --engine " + sound);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("0-1, White loses on time: no \"bestmove\" within"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("1-0, Black loses on time: no \"bestmove\" within"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("2 games: 0-0-2, illegal 0, crashes 0, time losses 2"),
              std::string::npos)
        << run.output;
    // Each loss is called at 300 ms plus the 100 ms grace, not at some later time-out.
    EXPECT_LT(seconds, 5.0);
}

TEST_F(SelfPlayReferee, FixedMoveTimeAndDepthAreSentAndEnforced) {
    const std::string sound = fake("sound", SoundOpening);
    const std::string slow =
        fake("slow", FakeEngine{SoundOpening.moves, "", "    go*) sleep 0.6; answer ;;\n"});
    RefereeRun run =
        runReferee("--games 1 --movetime 100 --verbose --engine " + sound + " --engine " + slow);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("[1] < go movetime 100\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1-0, Black loses on time: no \"bestmove\" within 2"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Smallest margin: "), std::string::npos) << run.output;

    // At a fixed depth only the time-out bounds a move: the slow engine plays on until the
    // script runs out of moves.
    run = runReferee("--games 1 --depth 3 --timeout 1 --verbose --engine " + sound + " --engine " +
                     slow);
    EXPECT_NE(run.output.find("[2] < go depth 3\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0-1, White plays an illegal move: bestmove, 6 plies"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Smallest margin: "), std::string::npos) << run.output;
}

TEST_F(SelfPlayReferee, EngineThatExitsIsACrashAndIsRestarted) {
    const std::string sound = fake("sound", SoundOpening);
    const std::string dying = fake("dying", FakeEngine{"", "", "    go*) exit 3 ;;\n"});
    RefereeRun run = runReferee("--games 2 --engine " + dying + " --engine " + sound);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(countOf(run.output, "crashed (exit code 3)"), 2) << run.output;
    EXPECT_NE(run.output.find("2 games: 0-0-2, illegal 0, crashes 2, time losses 0"),
              std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, EngineThatNeverGetsReadyIsAHang) {
    const std::string sound = fake("sound", SoundOpening);
    const std::string stuck = fake("stuck", FakeEngine{"", "", "    isready) ;;\n"});
    RefereeRun run = runReferee("--games 1 --timeout 1 --engine " + stuck + " --engine " + sound);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("0-1, White hung: no \"readyok\" within 1 s"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("illegal 0, crashes 1, time losses 0"), std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, EnginesAndWhatTheyStartedAreGoneWhenTheRefereeExits) {
    const std::string pids = dir + "/pids";
    const std::string sound = fake("sound", SoundOpening);
    // Records its own id and that of a child it leaves running, then hangs.
    const std::string hanging =
        fake("hanging", FakeEngine{"", "",
                                   "    go*) echo $$ >> " + pids + "; sleep 1000 & echo $! >> " +
                                       pids + "; wait ;;\n"});
    RefereeRun run = runReferee("--games 1 --tc 0.2+0 --engine " + hanging + " --engine " + sound);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    std::vector<pid_t> started;
    std::ifstream in(pids);
    for (pid_t pid; in >> pid;) started.push_back(pid);
    ASSERT_EQ(started.size(), 2u) << run.output;
    for (pid_t pid : started) {
        // The orphaned child may linger as a zombie until the system reaps it: dead all the same.
        bool dead = false;
        for (int tries = 0; tries < 200 && !dead; ++tries) {
            dead = isDead(pid);
            if (!dead) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(dead) << "process " << pid << " outlived the referee";
    }
}

TEST_F(SelfPlayReferee, InterruptedRefereeEndsItsEnginesFirst) {
    const std::string pids = dir + "/pids";
    const std::string sound = fake("sound", SoundOpening);
    const std::string hanging =
        fake("hanging", FakeEngine{"", "",
                                   "    go*) sleep 1000 & echo $! >> " + pids + "; echo $$ >> " +
                                       pids + "; wait ;;\n"});
    pid_t referee = fork();
    ASSERT_GE(referee, 0);
    if (referee == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(Referee.c_str(), Referee.c_str(), "--games", "1", "--tc", "30+0", "--engine",
              hanging.c_str(), "--engine", sound.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::vector<pid_t> started;
    for (int tries = 0; tries < 500 && started.size() < 2; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        started.clear();
        std::ifstream in(pids);
        for (pid_t pid; in >> pid;) started.push_back(pid);
    }
    kill(referee, SIGINT);
    int status = 0;
    for (int tries = 0; tries < 500 && waitpid(referee, &status, WNOHANG) == 0; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (kill(referee, 0) == 0 && !isDead(referee)) {
        kill(referee, SIGKILL);
        waitpid(referee, &status, 0);
        FAIL() << "the referee did not end on SIGINT";
    }
    ASSERT_EQ(started.size(), 2u);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT) << status;
    for (pid_t pid : started) {
        bool dead = false;
        for (int tries = 0; tries < 200 && !dead; ++tries) {
            dead = isDead(pid);
            if (!dead) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(dead) << "process " << pid << " outlived the referee";
    }
}

TEST_F(SelfPlayReferee, CheckmateEndsTheGameAndIsRecordedInStandardNotation) {
    const std::string engine = fake("mate", FakeEngine{"f2f3 e7e5 g2g4 d8h4 a2a3", "", ""});
    const std::string pgn = dir + "/games.pgn";
    RefereeRun run =
        runReferee("--games 2 --pgn " + pgn + " --engine " + engine + " --engine " + engine);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Game 1: Scripted [1] - Scripted [2]: 0-1, Black mates, 4 plies"),
              std::string::npos)
        << run.output;
    // Engine 1 has Black in the second game: one win each.
    EXPECT_NE(run.output.find("2 games: 1-0-1, illegal 0, crashes 0, time losses 0"),
              std::string::npos)
        << run.output;
    std::string games = readFile(pgn);
    EXPECT_NE(games.find("[Result \"0-1\"]"), std::string::npos) << games;
    EXPECT_NE(games.find("1. f3 {"), std::string::npos) << games;
    EXPECT_NE(games.find("2. g4 {"), std::string::npos) << games;
    EXPECT_NE(games.find(" Qh4# {"), std::string::npos) << games;
    EXPECT_NE(games.find("{Black mates} 0-1"), std::string::npos) << games;
}

TEST_F(SelfPlayReferee, ThirdOccurrenceNotSecondDrawsByRepetition) {
    const std::string engine =
        fake("shuffle", FakeEngine{"g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 e2e4", "", ""});
    RefereeRun run = runReferee("--games 1 --engine " + engine + " --engine " + engine);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1/2-1/2, threefold repetition, 8 plies"), std::string::npos)
        << run.output;

    // After e2e4 no black pawn can take en passant, so the position after it is the same as
    // the one after the knights' first and second round trips.
    const std::string afterPush = fake(
        "push", FakeEngine{"e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8 f3g1 a7a6 a2a3 a6a5", "", ""});
    run = runReferee("--games 1 --engine " + afterPush + " --engine " + afterPush);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1/2-1/2, threefold repetition, 9 plies"), std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, StalemateEndsTheGame) {
    const std::string openings = write("stalemate.fen", "7k/8/6K1/8/8/8/8/5Q2 w - - 0 1\n");
    const std::string engine = fake("stalemate", FakeEngine{"f1f7 h8g8", "", ""});
    RefereeRun run = runReferee("--games 1 --openings " + openings + " --engine " + engine +
                                " --engine " + engine);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1/2-1/2, stalemate, 1 plies"), std::string::npos) << run.output;
}

TEST_F(SelfPlayReferee, HundredthQuietHalfMoveDrawsUnlessItMates) {
    const std::string openings = write("fifty.fen",
                                       "7k/8/8/8/8/8/8/R6K w - - 99 60\n"
                                       "7k/8/6K1/8/8/8/8/R7 w - - 99 60\n");
    const std::string engine = fake("rook", FakeEngine{"a1a8 h8g7", "", ""});
    // Opening 1: a1a8 is check but not mate, and makes the hundredth quiet half-move.
    // Opening 2: a1a8 mates with it.
    RefereeRun run = runReferee("--games 3 --openings " + openings + " --engine " + engine +
                                " --engine " + engine);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Game 1: Scripted [1] - Scripted [2]: 1/2-1/2, 50-move rule, 1 "
                              "plies"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Game 3: Scripted [1] - Scripted [2]: 1-0, White mates, 1 plies"),
              std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, BareKingsWithOneMinorPieceOrSameColouredBishopsAreDraws) {
    const std::string openings = write("material.fen",
                                       "7k/8/8/8/8/8/6r1/6NK w - - 0 1\n"
                                       "7k/8/8/8/8/8/6r1/4B1BK w - - 0 1\n"
                                       "7k/8/8/8/8/8/6r1/5BBK w - - 0 1\n");
    const std::string engine = fake("capture", FakeEngine{"h1g2 h8g8", "", ""});
    RefereeRun run = runReferee("--games 6 --openings " + openings + " --engine " + engine +
                                " --engine " + engine);
    // Knight, and two bishops on dark squares: the capture of the rook ends the game.
    EXPECT_NE(run.output.find("Game 1: Scripted [1] - Scripted [2]: 1/2-1/2, insufficient "
                              "material, 1 plies"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Game 3: Scripted [1] - Scripted [2]: 1/2-1/2, insufficient "
                              "material, 1 plies"),
              std::string::npos)
        << run.output;
    // Bishops on both colours can still mate: the game goes on past the capture, until the
    // script runs out of moves.
    EXPECT_NE(run.output.find("Game 5: Scripted [1] - Scripted [2]: 0-1, White plays an illegal "
                              "move: bestmove, 2 plies"),
              std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, PonderSearchIsReleasedByPonderhitOrStop) {
    // The first engine always predicts the reply the game will see; the second never does.
    const std::string moves = "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8";
    const std::string right = fake("right", FakeEngine{moves, "", ""});
    const std::string wrong =
        fake("wrong", FakeEngine{moves, "a2a3 a2a3 a2a3 a2a3 a2a3 a2a3 a2a3 a2a3", ""});
    RefereeRun run =
        runReferee("--games 1 --ponder --verbose --engine " + right + " --engine " + wrong);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1/2-1/2, threefold repetition, 8 plies"), std::string::npos)
        << run.output;
    EXPECT_EQ(countOf(run.output, "[1] < ponderhit"), 3) << run.output;
    EXPECT_EQ(countOf(run.output, "[2] < stop"), 3) << run.output;
    // The ponder search that was still running when the game ended was stopped too.
    EXPECT_EQ(countOf(run.output, "[1] < stop") + countOf(run.output, "[2] < stop"),
              countOf(run.output, "< go ponder") - 3)
        << run.output;
}

TEST_F(SelfPlayReferee, BestMoveBeforePonderhitIsAFault) {
    // The opponent takes its time, so the early answer surely comes before its move.
    const std::string slow =
        fake("slow", FakeEngine{SoundOpening.moves, "", "    go*) sleep 0.3; answer ;;\n"});
    const std::string eager =
        fake("eager", FakeEngine{SoundOpening.moves, "", "    'go ponder'*) answer ;;\n"});
    RefereeRun run = runReferee("--games 1 --ponder --engine " + eager + " --engine " + slow);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("0-1, White answered before \"ponderhit\" or \"stop\""),
              std::string::npos)
        << run.output;
}

TEST_F(SelfPlayReferee, UnplayableOpeningIsRefusedBeforeAnyGame) {
    const std::string openings = write("bad.fen", "8/8/8/8/8/8/8/4K3 w - - 0 1\n");
    RefereeRun run = runReferee("--games 1 --openings " + openings);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("bad.fen:1: not a playable position"), std::string::npos)
        << run.output;
}

}  // namespace
