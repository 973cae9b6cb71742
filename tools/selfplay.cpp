// Self-play referee: plays games between two engine processes over pipes and judges every move
// with the engine's own board code, one game or several at a time, optionally resumable from a
// results file and stopped by a sequential test. Exits non-zero when any engine played an
// illegal move, crashed, hung or lost on time.
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "board/fen.h"
#include "search/startup.h"
#include "selfplay/match.h"
#include "selfplay/results.h"
#include "selfplay/sprt.h"

using namespace selfplay;

#if defined(__SANITIZE_THREAD__)
// On a signal the referee ends at once from its handler (see process.h), while the threads
// that play games still run: by design, not a leak.
extern "C" const char* __tsan_default_options() {
    return "report_thread_leaks=0";
}
#endif

namespace {

const char* const Usage =
    "usage: tolvo-selfplay [options]\n"
    "  --engine CMD        engine command, given once for each engine (default: the tolvo\n"
    "                      next to this tool; given once, it plays that default engine)\n"
    "  --games N           number of games (default 10; with --sprt the cap, default 3000)\n"
    "  --tc S+I            clock of S seconds plus I seconds per move (default 1+0.01)\n"
    "  --movetime MS       a fixed time per move instead of a clock\n"
    "  --depth N           a fixed depth per move instead of a clock\n"
    "  --ponder            let each engine ponder on the opponent's time\n"
    "  --openings FILE     start positions, one FEN per line; each is played twice with\n"
    "                      colours swapped\n"
    "  --pgn FILE          write the games as PGN\n"
    "  --option NAME=VALUE set an engine option in both engines (repeatable)\n"
    "  --option1 NAME=VALUE, --option2 NAME=VALUE\n"
    "                      set an option in the first or the second engine only\n"
    "  --grace MS          latency allowed beyond a clock or move time (default 100)\n"
    "  --timeout S         limit of waits no clock bounds (default 30)\n"
    "  --concurrency N     games played at once, each by its own two engine processes\n"
    "                      (default 1; 2 with --sprt)\n"
    "  --results FILE      append every finished game to FILE; run again with the same\n"
    "                      FILE, the match goes on where it stopped\n"
    "  --sprt              stop when the sequential test over game pairs decides\n"
    "  --elo0 E, --elo1 E  its hypotheses in logistic Elo of the first engine (0 and 10)\n"
    "  --alpha A, --beta B its error rates (0.05 and 0.1)\n"
    "  --verbose           log every line exchanged to standard error\n";

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "tolvo-selfplay: %s\n%s", message.c_str(), Usage);
    std::exit(2);
}

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && value >= 0 && value < 1e9;
}

int64_t wholeNumber(const std::string& option, const std::string& text, int64_t min) {
    double v;
    if (!parseNumber(text, v) || v != double(int64_t(v)) || int64_t(v) < min)
        usageError(option + " needs a whole number of at least " + std::to_string(min));
    return int64_t(v);
}

// "S+I" or "S", in seconds.
void parseTimeControl(const std::string& text, MatchSettings& s) {
    size_t plus = text.find('+');
    double base, inc = 0;
    if (!parseNumber(text.substr(0, plus), base) ||
        (plus != std::string::npos && !parseNumber(text.substr(plus + 1), inc)) || base <= 0)
        usageError("--tc needs SECONDS+INCREMENT, for example 2+0.02");
    s.mode = TimeMode::Clock;
    s.baseMs = int64_t(base * 1000 + 0.5);
    s.incMs = int64_t(inc * 1000 + 0.5);
}

std::string shellQuoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The engine built beside this tool.
std::string defaultEngine() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self = n > 0 ? std::string(path, size_t(n)) : "./tolvo-selfplay";
    size_t slash = self.rfind('/');
    std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
    return shellQuoted(dir + "/tolvo");
}

std::vector<std::string> readOpenings(const std::string& file) {
    std::ifstream in(file);
    if (!in) usageError("cannot read " + file);
    std::vector<std::string> fens;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        GameBoard board;
        if (!resetBoard(board, line))
            usageError(file + ":" + std::to_string(number) + ": not a playable position: " + line);
        fens.push_back(line);
    }
    if (fens.empty()) usageError(file + " holds no position");
    return fens;
}

struct Arguments {
    MatchSettings settings;
    std::string pgnPath;
    std::string resultsPath;
    int concurrency = 0;  // 0: the mode's default
    bool sprt = false;
    bool gamesGiven = false;
    SprtSettings test;
};

double realNumber(const std::string& option, const std::string& text, double min, double max) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v >= min && v <= max))
        usageError(option + " needs a number from " + std::to_string(min) + " to " +
                   std::to_string(max));
    return v;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    MatchSettings& s = args.settings;
    int engines = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usageError(a + " needs a value");
            return argv[++i];
        };
        if (a == "--engine") {
            if (engines == 2) usageError("at most two engines");
            s.engineCommands[engines++] = value();
        } else if (a == "--games") {
            s.games = int(wholeNumber(a, value(), 1));
            args.gamesGiven = true;
        } else if (a == "--tc") {
            parseTimeControl(value(), s);
        } else if (a == "--movetime") {
            s.mode = TimeMode::MoveTime;
            s.moveTimeMs = wholeNumber(a, value(), 1);
        } else if (a == "--depth") {
            s.mode = TimeMode::Depth;
            s.depth = int(wholeNumber(a, value(), 1));
        } else if (a == "--ponder") {
            s.ponder = true;
        } else if (a == "--openings") {
            s.openings = readOpenings(value());
        } else if (a == "--pgn") {
            args.pgnPath = value();
        } else if (a == "--option" || a == "--option1" || a == "--option2") {
            std::string v = value();
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) usageError(a + " needs NAME=VALUE");
            auto& list = a == "--option" ? s.options : s.engineOptions[a == "--option1" ? 0 : 1];
            list.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "--grace") {
            s.graceMs = wholeNumber(a, value(), 0);
        } else if (a == "--timeout") {
            s.timeoutMs = wholeNumber(a, value(), 1) * 1000;
        } else if (a == "--concurrency") {
            args.concurrency = int(wholeNumber(a, value(), 1));
            if (args.concurrency > 8) usageError("--concurrency is at most 8");
        } else if (a == "--results") {
            args.resultsPath = value();
        } else if (a == "--sprt") {
            args.sprt = true;
        } else if (a == "--elo0") {
            args.test.elo0 = realNumber(a, value(), -1000, 1000);
        } else if (a == "--elo1") {
            args.test.elo1 = realNumber(a, value(), -1000, 1000);
        } else if (a == "--alpha") {
            args.test.alpha = realNumber(a, value(), 1e-6, 0.5);
        } else if (a == "--beta") {
            args.test.beta = realNumber(a, value(), 1e-6, 0.5);
        } else if (a == "--verbose") {
            s.verbose = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else {
            usageError("unknown argument " + a);
        }
    }
    for (int i = engines; i < 2; ++i) s.engineCommands[i] = defaultEngine();
    if (args.sprt && !args.gamesGiven) s.games = 3000;
    if (args.concurrency == 0) args.concurrency = args.sprt ? 2 : 1;
    if (args.sprt && !(args.test.elo1 > args.test.elo0)) usageError("--elo1 must exceed --elo0");
    return args;
}

std::string timeControlText(const MatchSettings& s) {
    char text[64];
    if (s.mode == TimeMode::Clock)
        std::snprintf(text, sizeof text, "%g+%g", s.baseMs / 1000.0, s.incMs / 1000.0);
    else if (s.mode == TimeMode::MoveTime)
        std::snprintf(text, sizeof text, "movetime %lld ms", static_cast<long long>(s.moveTimeMs));
    else
        std::snprintf(text, sizeof text, "depth %d", s.depth);
    return text;
}

// The full-move number of a FEN text; the engine's reader does not keep it.
int fullMoveNumber(const std::string& fen) {
    std::vector<std::string> fields = splitWords(fen);
    int n = fields.size() >= 6 ? std::atoi(fields[5].c_str()) : 1;
    return n > 0 ? n : 1;
}

std::string pgnEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// A comment ends at the first closing brace, and the reason may quote an engine's text.
std::string pgnComment(std::string text) {
    for (char& c : text)
        if (c == '}') c = ')';
    return "{" + text + "}";
}

void writePgn(std::FILE* out, const Match& m, const GameRecord& g, const std::string& date) {
    const GameBoard& b = g.board;
    auto tag = [&](const char* name, const std::string& value) {
        std::fprintf(out, "[%s \"%s\"]\n", name, pgnEscaped(value).c_str());
    };
    tag("Event", "Tolvo self-play");
    tag("Site", "?");
    tag("Date", date);
    tag("Round", std::to_string(g.number));
    tag("White", m.players[g.whitePlayer].label);
    tag("Black", m.players[g.whitePlayer ^ 1].label);
    tag("Result", g.result);
    if (b.startFen != StartFen) {
        tag("SetUp", "1");
        tag("FEN", b.startFen);
    }
    tag("TimeControl", m.settings.mode == TimeMode::Clock ? timeControlText(m.settings) : "-");
    tag("PlyCount", std::to_string(b.sanTexts.size()));
    tag("Termination", g.termination);
    std::fputc('\n', out);

    std::string text, line;
    auto word = [&](const std::string& w) {
        if (!line.empty() && line.size() + 1 + w.size() > 79) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + w;
    };
    int number = fullMoveNumber(b.startFen);
    static Position start;  // large, and only its side to move is wanted
    loadFen(start, b.startFen.c_str());
    int side = int(start.sideToMove);
    for (size_t i = 0; i < b.sanTexts.size(); ++i) {
        if (side == White)
            word(std::to_string(number) + ".");
        else if (i == 0)
            word(std::to_string(number) + "...");
        word(b.sanTexts[i]);
        if (i < g.comments.size()) word(pgnComment(g.comments[i]));
        if (side == Black) ++number;
        side ^= 1;
    }
    word(pgnComment(g.reason));
    word(g.result);
    text += line + "\n\n";
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

std::string today() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y.%m.%d", &local);
    return text;
}

// What the results file's games were played with: a file is continued only by the same
// engines, options, clock and openings.
std::string settingsText(const MatchSettings& s) {
    std::string text = "engines " + s.engineCommands[0] + " | " + s.engineCommands[1];
    const char* names[] = {"option", "option1", "option2"};
    const std::vector<std::pair<std::string, std::string>>* lists[] = {
        &s.options, &s.engineOptions[0], &s.engineOptions[1]};
    for (int i = 0; i < 3; ++i)
        for (const auto& option : *lists[i])
            text += " | " + std::string(names[i]) + " " + option.first + "=" + option.second;
    text += " | " + timeControlText(s) + (s.ponder ? " | ponder" : "");
    // FNV-1a over the openings, in order: the file's name may stay while its lines change.
    uint64_t hash = 14695981039346656037ull;
    for (const std::string& fen : s.openings)
        for (char c : fen + "\n") hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char openings[64];
    std::snprintf(openings, sizeof openings, " | openings %zu %016llx", s.openings.size(),
                  static_cast<unsigned long long>(hash));
    text += s.openings.empty() ? " | start position" : openings;
    for (char& c : text)  // the header is one line
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// The counts of a match. Once the test has decided, the games still running end and go on
// file, but count no more: the test's verdict is the first crossing of a bound, in the
// order the games ended.
struct Tally {
    int counted = 0, wins = 0, draws = 0, losses = 0;
    int illegal = 0, crashes = 0, timeLosses = 0;  // of every game on file
    Pentanomial pairs;
    std::map<int, int> halfPairs;  // pair -> the first engine's half points in its one game
    Verdict verdict = Verdict::Undecided;
    double llr = 0;
    int afterDecision = 0;
};

// Counts a game; true when it completed a pair.
bool countGame(Tally& t, const GameOutcome& g, const Arguments& args) {
    t.illegal += g.illegal;
    t.crashes += g.crashes;
    t.timeLosses += g.timeLosses;
    if (t.verdict != Verdict::Undecided) {
        ++t.afterDecision;
        return false;
    }
    ++t.counted;
    (g.firstHalfPoints == 2 ? t.wins : g.firstHalfPoints == 1 ? t.draws : t.losses) += 1;
    auto other = t.halfPairs.find(pairOf(g.number));
    if (other == t.halfPairs.end()) {
        t.halfPairs.emplace(pairOf(g.number), g.firstHalfPoints);
        return false;
    }
    t.pairs.pairs[size_t(other->second + g.firstHalfPoints)] += 1;
    t.halfPairs.erase(other);
    if (args.sprt) {
        t.llr = logLikelihoodRatio(t.pairs, args.test);
        t.verdict = sprtVerdict(t.llr, args.test);
    }
    return true;
}

std::string tallyReport(const Tally& t, const Arguments& args) {
    EloEstimate e = eloEstimate(t.pairs);
    const auto& p = t.pairs.pairs;
    char text[320];
    int n = std::snprintf(
        text, sizeof text,
        "%d games (%lld pairs): +%d =%d -%d, pairs by points 0-1/2-1-3/2-2: %lld %lld %lld %lld "
        "%lld, Elo %+.1f (%+.1f, %+.1f), LOS %.1f%%",
        t.counted, static_cast<long long>(pairCount(t.pairs)), t.wins, t.draws, t.losses,
        static_cast<long long>(p[0]), static_cast<long long>(p[1]), static_cast<long long>(p[2]),
        static_cast<long long>(p[3]), static_cast<long long>(p[4]), e.elo, e.low, e.high,
        100 * e.los);
    if (args.sprt && n > 0 && size_t(n) < sizeof text)
        std::snprintf(text + n, sizeof text - size_t(n), ", LLR %.2f (%.2f, %.2f)", t.llr,
                      lowerBound(args.test), upperBound(args.test));
    return text;
}

GameOutcome outcomeOf(const GameRecord& g) {
    GameOutcome o;
    o.number = g.number;
    o.result = g.result;
    o.firstHalfPoints = g.result == "1/2-1/2"                         ? 1
                        : (g.result == "1-0") == (g.whitePlayer == 0) ? 2
                                                                      : 0;
    for (const FaultNote& f : g.faults) {
        if (f.fault == Fault::Illegal) ++o.illegal;
        if (f.fault == Fault::Crash) ++o.crashes;
        if (f.fault == Fault::Time) ++o.timeLosses;
    }
    o.plies = int(g.board.moveTexts.size());
    o.reason = g.reason;
    return o;
}

// What the games played at once share, under its mutex.
struct Run {
    std::mutex mutex;
    const Arguments* args = nullptr;
    std::vector<int> queue;  // the game numbers to play, in order
    size_t next = 0;
    bool stop = false;  // the test has decided: no game starts any more
    std::FILE* results = nullptr;
    std::FILE* pgn = nullptr;
    std::string date;
    Tally tally;
    int64_t smallestMarginUs = INT64_MAX;
    std::string smallestMarginWhere;
    bool writeFailed = false;
};

void recordGame(Run& run, const Match& match, const GameRecord& g) {
    // The referee is being interrupted: a game that ended now ended because its engines were
    // killed, and is played again by the next run instead of going on file as a forfeit.
    if (EndingEngines.load()) return;
    const Arguments& args = *run.args;
    std::printf("Game %d: %s - %s: %s, %s, %zu plies\n", g.number,
                match.players[g.whitePlayer].label.c_str(),
                match.players[g.whitePlayer ^ 1].label.c_str(), g.result.c_str(), g.reason.c_str(),
                g.board.moveTexts.size());
    // Faults that did not decide the game are listed too.
    for (const FaultNote& f : g.faults)
        if (f.text != g.reason) std::printf("  also: %s\n", f.text.c_str());
    if (run.pgn) writePgn(run.pgn, match, g, run.date);
    GameOutcome outcome = outcomeOf(g);
    if (run.results &&
        (std::fprintf(run.results, "%s\n", outcomeLine(outcome).c_str()) < 0 ||
         std::fflush(run.results) != 0) &&
        !run.writeFailed) {
        run.writeFailed = true;
        std::fprintf(stderr, "tolvo-selfplay: cannot write %s\n", args.resultsPath.c_str());
    }
    if (g.smallestMarginUs < run.smallestMarginUs) {
        run.smallestMarginUs = g.smallestMarginUs;
        run.smallestMarginWhere =
            "game " + std::to_string(g.number) + ", ply " + std::to_string(g.smallestMarginPly);
    }
    if (countGame(run.tally, outcome, args) && (args.sprt || !args.resultsPath.empty()))
        std::printf("%s\n", tallyReport(run.tally, args).c_str());
    if (run.tally.verdict != Verdict::Undecided) run.stop = true;
    std::fflush(stdout);
}

// Plays the queue's games one after another with one pair of engines.
void playGames(Run& run, Match& match) {
    const MatchSettings& s = match.settings;
    for (;;) {
        int n;
        {
            std::lock_guard<std::mutex> lock(run.mutex);
            if (run.stop || run.next == run.queue.size()) return;
            n = run.queue[run.next++];
        }
        const std::string fen = s.openings.empty()
                                    ? std::string(StartFen)
                                    : s.openings[size_t(pairOf(n)) % s.openings.size()];
        int whitePlayer = (n - 1) % 2;  // engine 1 has White in odd-numbered games
        GameRecord g = playGame(match, n, fen, whitePlayer);
        std::lock_guard<std::mutex> lock(run.mutex);
        recordGame(run, match, g);
    }
}

void stopEngines(std::vector<std::unique_ptr<Match>>& matches) {
    for (auto& m : matches)
        for (Player& pl : m->players)
            if (pl.proc.pid > 0) sendLine(pl.proc, "quit", afterMs(now(), 1000));
    for (auto& m : matches)
        for (Player& pl : m->players) stopProcess(pl.proc, 1000);
}

}  // namespace

int main(int argc, char** argv) {
    installSignalHandlers();
    initEngine();
    Arguments args = parseArguments(argc, argv);
    const MatchSettings& s = args.settings;
    Run run;
    run.args = &args;
    run.date = today();

    std::vector<GameOutcome> onFile;
    if (!args.resultsPath.empty()) {
        std::string error;
        if (!loadResults(args.resultsPath, settingsText(s), onFile, error)) {
            std::fprintf(stderr, "tolvo-selfplay: %s\n", error.c_str());
            return 2;
        }
    }
    std::vector<bool> done(size_t(s.games) + 1, false);
    for (const GameOutcome& g : onFile) {
        countGame(run.tally, g, args);
        if (g.number <= s.games) done[size_t(g.number)] = true;
    }
    if (run.tally.verdict == Verdict::Undecided)
        for (int n = 1; n <= s.games; ++n)
            if (!done[size_t(n)]) run.queue.push_back(n);

    if (!args.resultsPath.empty() && !(run.results = std::fopen(args.resultsPath.c_str(), "a"))) {
        std::fprintf(stderr, "tolvo-selfplay: cannot write %s\n", args.resultsPath.c_str());
        return 2;
    }
    // A continued match adds its games to the record of the games before.
    if (!args.pgnPath.empty() &&
        !(run.pgn = std::fopen(args.pgnPath.c_str(), args.resultsPath.empty() ? "w" : "a"))) {
        std::fprintf(stderr, "tolvo-selfplay: cannot write %s\n", args.pgnPath.c_str());
        return 2;
    }

    const int concurrency = std::min(args.concurrency, int(run.queue.size()));
    std::vector<std::unique_ptr<Match>> matches;
    for (int w = 0; w < concurrency; ++w) {
        matches.push_back(std::make_unique<Match>());
        Match& m = *matches.back();
        m.settings = s;
        m.firstTag = 2 * w + 1;
        for (int i = 0; i < 2; ++i) {
            std::string error;
            if (!startPlayer(m, i, error)) {
                std::fprintf(stderr, "tolvo-selfplay: engine %d (%s): %s\n", i + 1,
                             s.engineCommands[i].c_str(), error.c_str());
                stopEngines(matches);
                return 2;
            }
            Player& pl = m.players[i];
            pl.label = pl.name + " [" + std::to_string(i + 1) + "]";
            if (w == 0)
                std::printf("Engine %d: %s (%s)\n", i + 1, pl.name.c_str(),
                            s.engineCommands[i].c_str());
        }
    }
    if (args.sprt)
        std::printf(
            "SPRT over game pairs: elo0 %g, elo1 %g (logistic), alpha %g, beta %g: "
            "LLR bounds %.2f and %.2f\n",
            args.test.elo0, args.test.elo1, args.test.alpha, args.test.beta, lowerBound(args.test),
            upperBound(args.test));
    std::printf(
        "%s%d games at %s%s%s%s\n", args.sprt ? "at most " : "", s.games,
        timeControlText(s).c_str(), s.ponder ? ", pondering" : "",
        s.openings.empty() ? "" : (", " + std::to_string(s.openings.size()) + " openings").c_str(),
        args.concurrency > 1 ? (", " + std::to_string(args.concurrency) + " at a time").c_str()
                             : "");
    if (!s.openings.empty() && size_t(s.games + 1) / 2 > s.openings.size())
        std::printf("%zu openings for %d pairs: they are played again from the first\n",
                    s.openings.size(), (s.games + 1) / 2);
    if (!args.resultsPath.empty()) {
        std::printf("%s: %zu games on file, %zu to play\n", args.resultsPath.c_str(), onFile.size(),
                    run.queue.size());
        if (pairCount(run.tally.pairs) > 0 && !run.queue.empty())
            std::printf("%s\n", tallyReport(run.tally, args).c_str());
    }
    std::fflush(stdout);

    std::vector<std::thread> threads;
    for (auto& m : matches) threads.emplace_back(playGames, std::ref(run), std::ref(*m));
    for (std::thread& t : threads) t.join();

    const Tally& t = run.tally;
    // How close the engines came to losing on time, so that a near miss shows before a loss.
    if (run.smallestMarginUs != INT64_MAX)
        std::printf("Smallest margin: %.0f ms left of the %s (%s)\n", run.smallestMarginUs / 1000.0,
                    s.mode == TimeMode::Clock ? "clock" : "move time",
                    run.smallestMarginWhere.c_str());
    if (args.sprt || !args.resultsPath.empty()) std::printf("%s\n", tallyReport(t, args).c_str());
    if (args.sprt) {
        if (t.verdict == Verdict::Undecided)
            std::printf("SPRT: undecided after %d games (cap %d), LLR %.2f, LOS %.1f%%\n",
                        t.counted, s.games, t.llr, 100 * eloEstimate(t.pairs).los);
        else
            std::printf("SPRT: %s accepted after %d games, LLR %.2f\n",
                        t.verdict == Verdict::AcceptH1 ? "H1" : "H0", t.counted, t.llr);
        if (t.afterDecision > 0)
            std::printf("  %d games on file ended after the decision and are not counted\n",
                        t.afterDecision);
    }
    std::printf("%d games: %d-%d-%d, illegal %d, crashes %d, time losses %d\n", t.counted, t.wins,
                t.draws, t.losses, t.illegal, t.crashes, t.timeLosses);
    std::fflush(stdout);

    stopEngines(matches);
    if (run.pgn) std::fclose(run.pgn);
    if (run.results && std::fclose(run.results) != 0) run.writeFailed = true;
    if (run.writeFailed) return 2;
    return t.illegal + t.crashes + t.timeLosses > 0 ? 1 : 0;
}
