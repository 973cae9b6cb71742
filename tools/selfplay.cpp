// Self-play referee: plays games between two engine processes over pipes and judges every move
// with the engine's own board code. Exits non-zero when any engine played an illegal move,
// crashed, hung or lost on time.
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "board/fen.h"
#include "search/startup.h"
#include "selfplay/match.h"

using namespace selfplay;

namespace {

const char* const Usage =
    "usage: tolvo-selfplay [options]\n"
    "  --engine CMD        engine command, given once for each engine (default: the tolvo\n"
    "                      next to this tool; given once, it plays that default engine)\n"
    "  --games N           number of games (default 10)\n"
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
};

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

}  // namespace

int main(int argc, char** argv) {
    installSignalHandlers();
    initEngine();
    Arguments args = parseArguments(argc, argv);
    Match match;
    match.settings = args.settings;
    const MatchSettings& s = match.settings;

    std::FILE* pgn = nullptr;
    if (!args.pgnPath.empty() && !(pgn = std::fopen(args.pgnPath.c_str(), "w"))) {
        std::fprintf(stderr, "tolvo-selfplay: cannot write %s\n", args.pgnPath.c_str());
        return 2;
    }
    for (int i = 0; i < 2; ++i) {
        std::string error;
        if (!startPlayer(match, i, error)) {
            std::fprintf(stderr, "tolvo-selfplay: engine %d (%s): %s\n", i + 1,
                         s.engineCommands[i].c_str(), error.c_str());
            for (Player& pl : match.players) stopProcess(pl.proc, 0);
            return 2;
        }
    }
    for (int i = 0; i < 2; ++i) {
        Player& pl = match.players[i];
        pl.label = pl.name + " [" + std::to_string(i + 1) + "]";
        std::printf("Engine %d: %s (%s)\n", i + 1, pl.name.c_str(), s.engineCommands[i].c_str());
    }
    std::printf(
        "%d games at %s%s%s\n", s.games, timeControlText(s).c_str(), s.ponder ? ", pondering" : "",
        s.openings.empty() ? "" : (", " + std::to_string(s.openings.size()) + " openings").c_str());
    std::fflush(stdout);

    const std::string date = today();
    int wins = 0, draws = 0, losses = 0, illegal = 0, crashes = 0, timeLosses = 0;
    int64_t smallestMarginUs = INT64_MAX;
    std::string smallestMarginWhere;
    for (int n = 0; n < s.games; ++n) {
        const std::string fen = s.openings.empty() ? std::string(StartFen)
                                                   : s.openings[size_t(n / 2) % s.openings.size()];
        int whitePlayer = n % 2;  // engine 1 has White in odd-numbered games
        GameRecord g = playGame(match, n + 1, fen, whitePlayer);

        int firstScore = g.result == "1/2-1/2"                       ? 0
                         : (g.result == "1-0") == (whitePlayer == 0) ? 1
                                                                     : -1;
        (firstScore > 0 ? wins : firstScore < 0 ? losses : draws) += 1;
        for (const FaultNote& f : g.faults) {
            if (f.fault == Fault::Illegal) ++illegal;
            if (f.fault == Fault::Crash) ++crashes;
            if (f.fault == Fault::Time) ++timeLosses;
        }
        std::printf("Game %d: %s - %s: %s, %s, %zu plies\n", g.number,
                    match.players[whitePlayer].label.c_str(),
                    match.players[whitePlayer ^ 1].label.c_str(), g.result.c_str(),
                    g.reason.c_str(), g.board.moveTexts.size());
        // Faults that did not decide the game are listed too.
        for (const FaultNote& f : g.faults)
            if (f.text != g.reason) std::printf("  also: %s\n", f.text.c_str());
        std::fflush(stdout);
        if (pgn) writePgn(pgn, match, g, date);
        if (g.smallestMarginUs < smallestMarginUs) {
            smallestMarginUs = g.smallestMarginUs;
            smallestMarginWhere =
                "game " + std::to_string(g.number) + ", ply " + std::to_string(g.smallestMarginPly);
        }
    }
    // How close the engines came to losing on time, so that a near miss shows before a loss.
    if (smallestMarginUs != INT64_MAX)
        std::printf("Smallest margin: %.0f ms left of the %s (%s)\n", smallestMarginUs / 1000.0,
                    s.mode == TimeMode::Clock ? "clock" : "move time", smallestMarginWhere.c_str());
    std::printf("%d games: %d-%d-%d, illegal %d, crashes %d, time losses %d\n", s.games, wins,
                draws, losses, illegal, crashes, timeLosses);
    std::fflush(stdout);

    for (Player& pl : match.players) {
        if (pl.proc.pid > 0) sendLine(pl.proc, "quit", afterMs(now(), 1000));
    }
    for (Player& pl : match.players) stopProcess(pl.proc, 1000);
    if (pgn) std::fclose(pgn);
    return illegal + crashes + timeLosses > 0 ? 1 : 0;
}
