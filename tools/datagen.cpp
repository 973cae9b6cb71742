// Training data from the engine's own games: plays the engine against itself in-process, each
// move searched to a node limit, and writes the searched positions with their scores and the
// games' results as training records (datagen/record.h).
//
//   tolvo-datagen --out PREFIX [--seed S] [--jobs N] [--positions P | --games G] [--nodes N]
//                 [--random-plies R] [--hash MB] [--wide-share P --wide-plies R --wide-margin M]
//                 [--learned | --evalfile FILE]
//   tolvo-datagen --openings FILE --count C [--seed S] [--nodes N] [--random-plies R]
//                 [--chess960]
//
// The search keeps its state in globals, so each job is a process of its own: with --jobs N
// this program starts itself N times, with seeds S .. S+N-1, and waits for them.
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "datagen/record.h"
#include "learned.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "search/control.h"
#include "search/search.h"
#include "search/startup.h"
#include "search/state.h"
#include "search/threads.h"
#include "search/tt.h"
#include "selfplay/judge.h"

using namespace datagen;
using selfplay::Ending;
using selfplay::GameBoard;

namespace {

const char* const Usage =
    "usage: tolvo-datagen --out PREFIX [options]      training records to PREFIX-<seed>.bin\n"
    "       tolvo-datagen --openings FILE --count C [options]\n"
    "                                                 C balanced opening FENs, one a line\n"
    "  --seed S           seed of the first job (default 1); a run with one job and a seed\n"
    "                     repeats exactly\n"
    "  --jobs N           N processes with seeds S .. S+N-1, one file each (default 1)\n"
    "  --positions P      stop each job after the game that brings it to P kept positions\n"
    "                     (default 100000)\n"
    "  --games G          stop each job after G games instead\n"
    "  --nodes N          node limit of every search (default 5000)\n"
    "  --random-plies R   random legal plies from the start position (default 8)\n"
    "  --hash MB          transposition table of each job (default 16)\n"
    "  --margin M         an opening is kept when its search scores it within +-M\n"
    "                     centipawns (default 100)\n"
    "  --depth D          openings only: that search goes to depth D instead of the node\n"
    "                     limit\n"
    "  --wide-share P     P percent of the games open with --wide-plies random plies kept\n"
    "                     within --wide-margin, so that the data holds unbalanced positions\n"
    "                     too (default 0)\n"
    "  --wide-plies R     random plies of those openings (default 16)\n"
    "  --wide-margin M    their margin in centipawns (default 400)\n"
    "  --learned          play and label with the built-in network instead of the\n"
    "                     hand-written evaluation\n"
    "  --evalfile FILE    play and label with the network in FILE\n"
    "  --chess960         the random plies start from Chess960 start positions drawn from\n"
    "                     the seed instead of the standard one\n";

constexpr int OpeningTries = 100000;
// Adjudication. A win: the last WinPlies scores (both sides' searches) all at least WinScore
// for the same side. A draw: from ply DrawFromPly on, the last DrawPlies scores all within
// DrawScore of zero. A game that reaches MaxGamePlies is a draw.
constexpr int WinScore = 2000;
constexpr int WinPlies = 8;
constexpr int DrawFromPly = 160;
constexpr int DrawPlies = 12;
constexpr int DrawScore = 10;
constexpr int MaxGamePlies = 600;
constexpr int ProgressMs = 5000;

struct Settings {
    std::string out;
    std::string openings;
    uint64_t seed = 1;
    int jobs = 1;
    uint64_t positions = 0;
    uint64_t games = 0;
    uint64_t count = 0;
    uint64_t nodes = 5000;
    int randomPlies = 8;
    int hash = 16;
    // The opening's random plies are kept when the search scores the position within this
    // margin; a depth, for match openings, makes that search deeper than the data's.
    int margin = 100;
    int depth = 0;
    // A share of the games opens wider: more random plies, kept within a wider margin.
    int wideShare = 0;
    int widePlies = 16;
    int wideMargin = 400;
    EvaluationChoice evaluation;
    bool chess960 = false;
};

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "tolvo-datagen: %s\n%s", message.c_str(), Usage);
    std::exit(2);
}

uint64_t wholeNumber(const char* option, const char* text, uint64_t min, uint64_t max) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (!*text || *text == '-' || *end || errno || v < min || v > max)
        usageError(std::string(option) + " needs a whole number from " + std::to_string(min) +
                   " to " + std::to_string(max));
    return v;
}

Settings parseArguments(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        }
        if (takeEvaluationFlag(argc, argv, i, s.evaluation)) continue;
        if (a == "--chess960") {
            s.chess960 = true;
            continue;
        }
        if (i + 1 >= argc) usageError("unknown argument or missing value: " + a);
        const char* v = argv[++i];
        if (a == "--out")
            s.out = v;
        else if (a == "--openings")
            s.openings = v;
        else if (a == "--seed")
            s.seed = wholeNumber("--seed", v, 0, UINT64_MAX / 2);
        else if (a == "--jobs")
            s.jobs = int(wholeNumber("--jobs", v, 1, 256));
        else if (a == "--positions")
            s.positions = wholeNumber("--positions", v, 1, UINT64_MAX / 2);
        else if (a == "--games")
            s.games = wholeNumber("--games", v, 1, UINT64_MAX / 2);
        else if (a == "--count")
            s.count = wholeNumber("--count", v, 1, 100000000);
        else if (a == "--nodes")
            s.nodes = wholeNumber("--nodes", v, 1, UINT64_MAX / 2);
        else if (a == "--random-plies")
            s.randomPlies = int(wholeNumber("--random-plies", v, 0, 100));
        else if (a == "--hash")
            s.hash = int(wholeNumber("--hash", v, 1, 4096));
        else if (a == "--margin")
            s.margin = int(wholeNumber("--margin", v, 0, 10000));
        else if (a == "--depth")
            s.depth = int(wholeNumber("--depth", v, 1, 60));
        else if (a == "--wide-share")
            s.wideShare = int(wholeNumber("--wide-share", v, 0, 100));
        else if (a == "--wide-plies")
            s.widePlies = int(wholeNumber("--wide-plies", v, 0, 100));
        else if (a == "--wide-margin")
            s.wideMargin = int(wholeNumber("--wide-margin", v, 0, 10000));
        else
            usageError("unknown argument " + a);
    }
    if (s.out.empty() == s.openings.empty()) usageError("give either --out or --openings");
    if (!s.openings.empty() && s.count == 0) usageError("--openings needs --count");
    if (!s.openings.empty() && s.jobs != 1) usageError("--openings runs as one job");
    if (s.openings.empty() && s.depth) usageError("--depth is for --openings");
    if (!s.openings.empty() && s.wideShare) usageError("--wide-share is for --out");
    if (s.evaluation.simd) usageError("--simd is for the bench and evaluation tools");
    if (s.positions == 0 && s.games == 0) s.positions = 100000;
    return s;
}

// A small, fast generator with a fixed sequence on every platform.
struct Random {
    uint64_t state;
    uint64_t next() { return splitmix64(state); }
    uint64_t below(uint64_t n) { return next() % n; }
};

// Openings written for matches come from another stream than the data's openings, whatever
// the seeds, so that a match never starts from a game the network was trained on.
enum Stream : uint64_t {
    DataStream = 0x5D1A7A6E4D0C3B21ull,
    OpeningStream = 0xA7C3E19F0B5D2468ull
};

// Each game has a generator of its own: a game depends on its seed and number alone.
Random streamRandom(uint64_t seed, Stream stream, uint64_t index) {
    Random seeder{seed ^ uint64_t(stream)};
    Random r{seeder.next() ^ (index * 0xD6E8FEB86659FD93ull)};
    r.next();
    return r;
}

// --- Searching -------------------------------------------------------------------------------

struct SearchOutcome {
    Move move;
    int score;  // side to move's view
    int depth;  // plies of the last completed iteration
};
SearchOutcome Searched;

void recordScore(int score, int depthPlies, int, const PvLine&, int) {
    Searched.score = score;
    Searched.depth = depthPlies;
}
void recordMove(Move move, const PvLine&) {
    Searched.move = move;
}

// One search of the position to the node limit, as "go nodes" runs it, or to a depth, as
// "go depth" runs it.
SearchOutcome searchPosition(const Position& p, uint64_t nodes, int depth = 0) {
    Limits = SearchLimits{};
    Limits.nodes = nodes;
    Limits.depth = uint16_t(depth);
    controlMode = depth ? ModeDepth : ModeNodes;
    timeBudget = timeBudgetMax = 0;
    timeHardLimit = 0;
    TimeTrouble = 0;
    resetSearchResults();
    tableGeneration = uint8_t(tableGeneration + 1);
    Searched = SearchOutcome{};
    SearchDriver(p);
    return Searched;
}

// --- The game --------------------------------------------------------------------------------

// Plays a legal move on the game's board. The position's key history keeps the game's recent
// keys, so that the search sees repetitions of the game, and never fills up.
void playGameMove(GameBoard& g, Move m) {
    UndoInfo undo;
    makeMove(g.pos, undo, m);
    g.pos.stack = nullptr;
    constexpr int Kept = 256;
    if (g.pos.keyCount >= KeyHistorySize - KeyHistoryReserve) {
        std::memmove(g.pos.keyHistory, g.pos.keyHistory + g.pos.keyCount - Kept,
                     Kept * sizeof g.pos.keyHistory[0]);
        g.pos.keyCount = Kept;
    }
    g.keys.push_back(selfplay::repetitionKey(g.pos));
}

bool isLegalMove(Position& p, Move m) {
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i)
        if (legal.moveWords[i] == m) return true;
    return false;
}

struct OpeningShape {
    int plies;
    int margin;
};

// Chess960 start position number n (0..959) in the usual numbering, in which 518 is the
// standard start: bishops on a light and a dark file, then the queen and the knights on the
// free files, the king between the two rooks on the three left. Rights in Shredder letters.
std::string chess960StartFen(int n) {
    char rank[9] = "--------";
    rank[2 * (n % 4) + 1] = 'B';
    n /= 4;
    rank[2 * (n % 4)] = 'B';
    n /= 4;
    auto placeOnFree = [&rank](int index, char piece) {
        for (int f = 0; f < 8; ++f)
            if (rank[f] == '-' && index-- == 0) {
                rank[f] = piece;
                return;
            }
    };
    placeOnFree(n % 6, 'Q');
    n /= 6;
    static const int Knights[10][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                       {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    // The second knight's index counts the free files after the first has taken its own.
    placeOnFree(Knights[n][0], 'N');
    placeOnFree(Knights[n][1] - 1, 'N');
    placeOnFree(0, 'R');
    placeOnFree(0, 'K');
    placeOnFree(0, 'R');
    std::string white(rank), black(rank), rights;
    for (char& c : black) c = char(c - 'A' + 'a');
    for (int f = 7; f >= 0; --f)
        if (rank[f] == 'R') rights += char('A' + f);
    for (int f = 7; f >= 0; --f)
        if (rank[f] == 'R') rights += char('a' + f);
    return black + "/pppppppp/8/8/8/8/PPPPPPPP/" + white + " w " + rights + " - 0 1";
}

// Random legal plies from the start position, tried again until the search scores the
// position they reach within the margin. Returns that search, which the game goes on from.
SearchOutcome randomOpening(GameBoard& g, Random& random, const Settings& s, OpeningShape shape) {
    const int plies = shape.plies;
    for (int tries = 0; tries < OpeningTries; ++tries) {
        selfplay::resetBoard(
            g, s.chess960 ? chess960StartFen(int(random.below(960))).c_str() : StartFen);
        bool playable = true;
        for (int i = 0; i < plies && playable; ++i) {
            MoveList legal;
            generateLegalMoves(g.pos, legal);
            if (legal.count == 0) playable = false;
            if (playable) playGameMove(g, legal.moveWords[random.below(legal.count)]);
        }
        if (!playable || selfplay::gameEnding(g) != Ending::None) continue;
        const SearchOutcome first = searchPosition(g.pos, s.nodes, s.depth);
        if (first.score >= -shape.margin && first.score <= shape.margin) return first;
    }
    std::fprintf(stderr, "tolvo-datagen: no balanced opening in %d tries of %d random plies\n",
                 OpeningTries, plies);
    std::exit(1);
}

enum GameEnd : int {
    EndMate,
    EndStalemate,
    EndFifty,
    EndRepetition,
    EndMaterial,
    EndWinAdjudged,
    EndDrawAdjudged,
    EndLength,
    EndKinds
};
const char* const EndNames[EndKinds] = {"mate",     "stalemate", "fifty-move", "repetition",
                                        "material", "won-adj",   "drawn-adj",  "length"};

struct Tally {
    uint64_t games = 0;
    uint64_t dropped = 0;  // games left out to keep the file's game boundaries readable
    uint64_t kept = 0;
    uint64_t searches = 0;
    uint64_t depthSum = 0;
    uint64_t ends[EndKinds] = {};
    uint64_t results[3] = {};  // Black won, draw, White won
};

// Whether the scores (White's view, one per searched ply) decide the game; sets the result.
bool adjudicated(const std::vector<int>& scores, int ply, int& result, GameEnd& end) {
    const size_t n = scores.size();
    if (n >= size_t(WinPlies)) {
        bool white = true, black = true;
        for (size_t i = n - WinPlies; i < n; ++i) {
            white = white && scores[i] >= WinScore;
            black = black && scores[i] <= -WinScore;
        }
        if (white || black) {
            result = white ? 1 : -1;
            end = EndWinAdjudged;
            return true;
        }
    }
    if (ply >= DrawFromPly && n >= size_t(DrawPlies)) {
        bool quiet = true;
        for (size_t i = n - DrawPlies; i < n; ++i)
            quiet = quiet && scores[i] >= -DrawScore && scores[i] <= DrawScore;
        if (quiet) {
            result = 0;
            end = EndDrawAdjudged;
            return true;
        }
    }
    return false;
}

// One game from a random opening; appends the records it keeps.
void playGame(const Settings& s, uint64_t number, std::vector<TrainingRecord>& records,
              Tally& tally) {
    // Nothing an earlier game left in the table or the move-ordering memory may steer this one.
    clearSearchState();
    Random random = streamRandom(s.seed, DataStream, number);
    // Drawn only when wide openings are asked for, so that every other run keeps its stream.
    const bool wide = s.wideShare > 0 && random.below(100) < uint64_t(s.wideShare);
    const OpeningShape shape =
        wide ? OpeningShape{s.widePlies, s.wideMargin} : OpeningShape{s.randomPlies, s.margin};
    static GameBoard g;
    SearchOutcome searched = randomOpening(g, random, s, shape);
    const size_t first = records.size();
    std::vector<int> whiteScores;
    int ply = shape.plies;
    int result = 0;
    GameEnd end = EndLength;
    for (;;) {
        Position& p = g.pos;
        const Move m = searched.move;
        if (!isLegalMove(p, m)) {
            std::fprintf(stderr, "tolvo-datagen: the search chose %s, not a legal move, in %s\n",
                         moveToText(p, m), positionToFen(p, ply / 2 + 1).c_str());
            std::exit(1);
        }
        ++tally.searches;
        tally.depthSum += uint64_t(searched.depth);
        const int score = searched.score;
        whiteScores.push_back(p.sideToMove == White ? score : -score);

        const bool capture = (p.board[moveTo(m)] != Empty && moveKind(m) != KindCastle) ||
                             moveKind(m) == KindEnPassant;
        const bool mate = score > MateBound || score < -MateBound;
        TrainingRecord r;
        if (!selfplay::inCheck(p) && !capture && !isPromotion(m) && !mate &&
            encodeRecord(p, score, 0, m, ply, r))
            records.push_back(r);

        if (adjudicated(whiteScores, ply, result, end)) break;
        playGameMove(g, m);
        ++ply;
        const Ending ending = selfplay::gameEnding(g);
        if (ending != Ending::None) {
            // Mated: the side that just moved won.
            result = ending == Ending::Checkmate ? (p.sideToMove == White ? -1 : 1) : 0;
            end = ending == Ending::Checkmate    ? EndMate
                  : ending == Ending::Stalemate  ? EndStalemate
                  : ending == Ending::FiftyMoves ? EndFifty
                  : ending == Ending::Repetition ? EndRepetition
                                                 : EndMaterial;
            break;
        }
        if (ply >= MaxGamePlies) {
            result = 0;
            end = EndLength;
            break;
        }
        searched = searchPosition(g.pos, s.nodes);
    }
    for (size_t i = first; i < records.size(); ++i) records[i].result = int8_t(result);
    ++tally.games;
    ++tally.ends[end];
    ++tally.results[result + 1];
}

// --- One job ---------------------------------------------------------------------------------

std::string jobFile(const std::string& prefix, uint64_t seed) {
    return prefix + "-" + std::to_string(seed) + ".bin";
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void printTally(const char* what, uint64_t seed, const Tally& t, uint64_t ms) {
    const double seconds = double(ms) / 1000.0;
    std::fprintf(stderr,
                 "seed %" PRIu64 ": %sgames %" PRIu64 ", positions %" PRIu64
                 ", %.1f positions/s, mean depth %.2f, %.0f s\n",
                 seed, what, t.games, t.kept, seconds > 0 ? double(t.kept) / seconds : 0.0,
                 t.searches ? double(t.depthSum) / double(t.searches) : 0.0, seconds);
}

void printEndings(uint64_t seed, const Tally& t) {
    std::string text;
    for (int i = 0; i < EndKinds; ++i)
        text += std::string(i ? ", " : "") + EndNames[i] + " " + std::to_string(t.ends[i]);
    std::fprintf(stderr,
                 "seed %" PRIu64 ": results +%" PRIu64 " =%" PRIu64 " -%" PRIu64
                 " (White's view); endings: %s; games left out %" PRIu64 "\n",
                 seed, t.results[2], t.results[1], t.results[0], text.c_str(), t.dropped);
}

int runJob(const Settings& s) {
    const std::string path = jobFile(s.out, s.seed);
    if (fileExists(path)) {
        std::fprintf(stderr, "seed %" PRIu64 ": %s is complete, skipped\n", s.seed, path.c_str());
        return 0;
    }
    const std::string part = path + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "tolvo-datagen: cannot write %s: %s\n", part.c_str(),
                     std::strerror(errno));
        return 1;
    }
    Tally tally;
    std::vector<TrainingRecord> records;
    std::vector<uint8_t> bytes;
    int lastPly = INT_MAX;  // ply of the file's last record
    const uint64_t start = tickCountMs();
    uint64_t lastReport = start;
    for (uint64_t game = 0; s.games ? tally.games < s.games : tally.kept < s.positions; ++game) {
        records.clear();
        playGame(s, game, records, tally);
        // A reader takes a record whose ply is not above the one before it for a new game's
        // first; a game whose first record lies above the last game's last would be read as
        // that game's continuation, so it is left out (it is rare: the other game must have
        // ended within a few plies of its opening).
        if (!records.empty() && records.front().ply > lastPly) {
            ++tally.dropped;
            continue;
        }
        if (!records.empty()) lastPly = records.back().ply;
        bytes.resize(records.size() * RecordBytes);
        for (size_t i = 0; i < records.size(); ++i)
            recordToBytes(records[i], &bytes[i * RecordBytes]);
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fflush(out) != 0) {
            std::fprintf(stderr, "tolvo-datagen: cannot write %s: %s\n", part.c_str(),
                         std::strerror(errno));
            std::fclose(out);
            return 1;
        }
        tally.kept += records.size();
        const uint64_t now = tickCountMs();
        if (now - lastReport >= ProgressMs) {
            lastReport = now;
            printTally("", s.seed, tally, now - start);
        }
    }
    if (std::fclose(out) != 0 || std::rename(part.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "tolvo-datagen: cannot complete %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    printTally("done: ", s.seed, tally, tickCountMs() - start);
    printEndings(s.seed, tally);
    return 0;
}

// --- Openings for matches --------------------------------------------------------------------

int writeOpenings(const Settings& s) {
    const std::string part = s.openings + ".part";
    std::FILE* out = std::fopen(part.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "tolvo-datagen: cannot write %s: %s\n", part.c_str(),
                     std::strerror(errno));
        return 1;
    }
    Random random = streamRandom(s.seed, OpeningStream, 0);
    static GameBoard g;
    std::unordered_set<uint64_t> seen;
    uint64_t written = 0, repeated = 0;
    while (written < s.count) {
        clearSearchState();
        randomOpening(g, random, s, OpeningShape{s.randomPlies, s.margin});
        if (!seen.insert(g.pos.key).second) {
            // The same opening twice would play the same games twice.
            if (++repeated > 100 * s.count) break;
            continue;
        }
        std::fprintf(out, "%s\n", positionToFen(g.pos, s.randomPlies / 2 + 1).c_str());
        ++written;
    }
    if (std::ferror(out) || std::fclose(out) != 0 || written < s.count ||
        std::rename(part.c_str(), s.openings.c_str()) != 0) {
        std::fprintf(stderr, "tolvo-datagen: could not write %" PRIu64 " openings to %s\n", s.count,
                     s.openings.c_str());
        return 1;
    }
    std::fprintf(stderr, "wrote %" PRIu64 " openings to %s\n", written, s.openings.c_str());
    return 0;
}

// --- Several jobs ----------------------------------------------------------------------------

volatile sig_atomic_t Children[256];
volatile sig_atomic_t ChildCount;

// An interrupted run ends its jobs too; their unfinished files stay as .part.
void forwardSignal(int signo) {
    for (int i = 0; i < ChildCount; ++i)
        if (Children[i] > 0) kill(pid_t(Children[i]), signo);
    _exit(128 + signo);
}

std::string selfPath(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string(argv0);
}

uint64_t keptOnDisk(const Settings& s) {
    uint64_t records = 0;
    for (int i = 0; i < s.jobs; ++i) {
        struct stat st;
        const std::string path = jobFile(s.out, s.seed + uint64_t(i));
        if (stat((path + ".part").c_str(), &st) == 0 || stat(path.c_str(), &st) == 0)
            records += uint64_t(st.st_size) / RecordBytes;
    }
    return records;
}

int runJobs(int argc, char** argv, const Settings& s) {
    const std::string self = selfPath(argv[0]);
    // Every argument but the seed and the job count is passed on as it was given.
    std::vector<std::string> common;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seed") || !std::strcmp(argv[i], "--jobs")) {
            ++i;
            continue;
        }
        common.emplace_back(argv[i]);
    }
    signal(SIGINT, forwardSignal);
    signal(SIGTERM, forwardSignal);
    const uint64_t before = keptOnDisk(s);
    const uint64_t start = tickCountMs();
    for (int i = 0; i < s.jobs; ++i) {
        std::vector<std::string> args = {self, "--seed", std::to_string(s.seed + uint64_t(i)),
                                         "--jobs", "1"};
        args.insert(args.end(), common.begin(), common.end());
        std::vector<char*> cargs;
        for (std::string& a : args) cargs.push_back(&a[0]);
        cargs.push_back(nullptr);
        const pid_t pid = fork();
        if (pid < 0) {
            std::fprintf(stderr, "tolvo-datagen: cannot start a job: %s\n", std::strerror(errno));
            forwardSignal(SIGTERM);
        }
        if (pid == 0) {
            execv(self.c_str(), cargs.data());
            std::fprintf(stderr, "tolvo-datagen: cannot run %s: %s\n", self.c_str(),
                         std::strerror(errno));
            _exit(127);
        }
        Children[i] = pid;
        ChildCount = i + 1;
    }
    int running = s.jobs, failed = 0;
    uint64_t lastReport = start;
    while (running > 0) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            --running;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
            continue;
        }
        sleepMs(200);
        const uint64_t now = tickCountMs();
        if (now - lastReport >= 2 * ProgressMs) {
            lastReport = now;
            const uint64_t kept = keptOnDisk(s) - before;
            std::fprintf(stderr, "all %d jobs: positions %" PRIu64 ", %.1f positions/s\n", s.jobs,
                         kept, double(kept) * 1000.0 / double(now - start));
        }
    }
    const uint64_t ms = tickCountMs() - start;
    const uint64_t kept = keptOnDisk(s) - before;
    std::fprintf(stderr, "all %d jobs done: positions %" PRIu64 " in %.0f s, %.1f positions/s%s\n",
                 s.jobs, kept, double(ms) / 1000.0, ms ? double(kept) * 1000.0 / double(ms) : 0.0,
                 failed ? ", some jobs FAILED" : "");
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings s = parseArguments(argc, argv);
    if (s.jobs > 1) return runJobs(argc, argv, s);
    initEngine();
    allocateTable(s.hash);
    setSearchThreads(1);
    // The tool prints its own lines; the search prints nothing and reads no input.
    InputPoll = nullptr;
    Reporter = SearchReporter{};
    Reporter.pv = recordScore;
    Reporter.bestMove = recordMove;
    if (!applyEvaluationChoice(s.evaluation)) return 2;
    std::fprintf(stderr, "seed %" PRIu64 ": evaluation %s\n", s.seed,
                 describeEvaluation(s.evaluation).c_str());
    const int status = s.openings.empty() ? runJob(s) : writeOpenings(s);
    shutdownSearchThreads();
    return status;
}
