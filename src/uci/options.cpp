#include "uci/options.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "board/movetext.h"
#include "board/perft.h"
#include "search/control.h"
#include "search/search.h"
#include "search/state.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/tt.h"
#include "tablebase/tablebase.h"
#include "uci/output.h"
#include "uci/position_command.h"

namespace {

bool GoRunning;
bool HashDeferred;
bool ClearDeferred;
// "Threads" sent during a search, waiting for its end; 0 when none waits.
int32_t DeferredThreads;
// "Use NNUE" (-1 when none waits) and "EvalFile" sent during a search.
int DeferredUseNetwork = -1;
bool EvalFileDeferred;
std::string DeferredEvalFile;
// "SyzygyPath" sent during a search: the running search keeps the tables it probes.
bool SyzygyPathDeferred;
std::string DeferredSyzygyPath;

// Where a keyword's number starts: distance characters after the keyword, or the end of the
// line if it comes first (a keyword that ends the line then reads as 0).
const char* numberAt(const char* keyword, size_t distance) {
    const char* p = keyword;
    for (size_t i = 0; i < distance && *p; ++i) ++p;
    return p;
}

// Reads an optionally signed decimal number like atoi, but saturating at the bounds of a
// signed 64-bit value instead of overflowing.
int64_t readInt64(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Accumulate as a negative number: its range holds the most negative value too.
    int64_t value = 0;
    constexpr int64_t Min = std::numeric_limits<int64_t>::min();
    for (; *p >= '0' && *p <= '9'; ++p) {
        int digit = *p - '0';
        if (value < (Min + digit) / 10) return negative ? Min : std::numeric_limits<int64_t>::max();
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == Min ? std::numeric_limits<int64_t>::max() : -value;
}

// A node count above the signed range keeps its full value; a negative one wraps the way an
// unsigned reader wraps it ("-1" is the largest count).
uint64_t readUint64(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '-') return uint64_t(readInt64(p));
    if (*p == '+') ++p;
    uint64_t value = 0;
    constexpr uint64_t Max = std::numeric_limits<uint64_t>::max();
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = unsigned(*p - '0');
        if (value > (Max - digit) / 10) return Max;
        value = value * 10 + digit;
    }
    return value;
}

int32_t saturate32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// Truncates towards zero into 32 bits, saturating: a huge clock must not make a budget
// undefined.
int32_t truncate32(double v) {
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// Like atoi kept in 16 bits: the low half of the number, so -1 reads as 65535.
uint16_t read16(const char* p) {
    return uint16_t(uint64_t(readInt64(p)) & 0xFFFF);
}

void resizeTable() {
    allocateTable(HashMegabytes);
    clearTable();
}

// An empty table and the generation of start-up, and no move-ordering memory (the root
// orders its quiet moves by the last search's history): the next search runs as the first
// one after start-up did.
void clearHash() {
    clearSearchState();
    tableGeneration = 0;
}

// A spin option's "NAME value N" anywhere in the line, clamped to the declared range; the
// value stays as it was when the line does not name the option.
void readSpin(const char* line, const char* nameValue, int32_t min, int32_t max, int32_t& value) {
    const char* k = std::strstr(line, nameValue);
    if (!k) return;
    const int64_t n = readInt64(numberAt(k, std::strlen(nameValue) + 1));
    value = int32_t(n < min ? min : n > max ? max : n);
}

// The legal move the word names (a promotion letter in either case; castling in the forms
// the "position" command reads), or 0.
Move legalMoveNamed(Position& p, const MoveList& legal, const char* word, size_t length) {
    if (length != 4 && length != 5) return 0;
    char text[6] = {};
    std::memcpy(text, word, length);
    const Move m = textToMove(p, text, Chess960);
    if (m == 0 || isPromotion(m) != (length == 5)) return 0;
    for (int i = 0; i < legal.count; ++i)
        if (legal.moveWords[i] == m) return m;
    return 0;
}

bool startsWith(const char* line, const char* prefix) {
    return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
// The text without the blanks at its end.
std::string trimEnd(const char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && isBlank(text[n - 1])) --n;
    return std::string(text, n);
}
bool equalsIgnoringCase(const std::string& text, const char* word) {
    if (text.size() != std::strlen(word)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
        if (c != word[i]) return false;
    }
    return true;
}

// Scores and moves the table holds from another evaluation would steer the next search as
// if they were this one's: a change of evaluation empties it as "Clear Hash" does.
void clearHashIfEvaluationChanged(uint32_t before) {
    if (EvaluationId != before) clearHash();
}

// "Use NNUE" as last applied; on from the start, as the network plays far stronger than the
// hand-written evaluation. A search at limited strength evaluates by hand whatever it says,
// so that a rating means the same with either value and whatever network is built in.
bool UseNetworkOption = true;

void applyUseNetwork(bool on) {
    UseNetworkOption = on;
    selectEvaluation();
}

// A path as sent may hold control characters that would break the line it is echoed in.
std::string printablePath(const std::string& path) {
    std::string shown = path;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return shown;
}

// Empty (or "<empty>") is the network the engine carries; anything else a file's path. A file
// that cannot be used leaves the network in use as it is.
void installEvalFile(const std::string& path) {
    if (path.empty() || path == "<empty>") {
        const char* reason = nullptr;
        if (!installEmbeddedNetwork(reason))
            sendText("info string EvalFile <empty>: the embedded network is not valid (%s)\n",
                     reason);
        return;
    }
    auto net = std::make_unique<Network>();
    char reason[256];
    if (!loadNetworkFile(path.c_str(), *net, reason, sizeof reason)) {
        sendText("info string EvalFile %s not loaded: %s; the network in use stays\n",
                 printablePath(path).c_str(), reason);
        return;
    }
    installNetwork(*net);
    sendText("info string EvalFile %s loaded\n", printablePath(path).c_str());
}

void applyEvalFile(const std::string& path) {
    const uint32_t before = EvaluationId;
    installEvalFile(path);
    clearHashIfEvaluationChanged(before);
}

// A path option's line: the whole rest of the line after "value" is the path, less the blanks
// at its end; the option named without a value (as some GUIs send an empty string) is an empty
// path. False when the line is not that option's.
bool readPathOption(const char* line, const char* name, std::string& path) {
    const std::string prefix = std::string("setoption name ") + name + " value ";
    if (startsWith(line, prefix.c_str())) {
        path = trimEnd(line + prefix.size());
        return true;
    }
    const std::string bare = trimEnd(line);
    path.clear();
    return bare == prefix.substr(0, prefix.size() - 7) ||
           bare == prefix.substr(0, prefix.size() - 1);
}

// The two network options have a reader of their own: such a line is not scanned for the
// others (a path may hold "Hash value 2048"). True when the line was one of them.
bool readNetworkOption(const char* line) {
    static const char UseNetworkPrefix[] = "setoption name Use NNUE value ";
    if (startsWith(line, UseNetworkPrefix)) {
        const char* value = line + std::strlen(UseNetworkPrefix);
        while (isBlank(*value)) ++value;
        const std::string word = trimEnd(value);
        const int on = equalsIgnoringCase(word, "true")    ? 1
                       : equalsIgnoringCase(word, "false") ? 0
                                                           : -1;
        if (on < 0) return true;
        if (searchRunning())
            DeferredUseNetwork = on;
        else
            applyUseNetwork(on != 0);
        return true;
    }
    std::string path;
    if (!readPathOption(line, "EvalFile", path)) return false;
    if (searchRunning()) {
        EvalFileDeferred = true;
        DeferredEvalFile = path;
    } else {
        applyEvalFile(path);
    }
    return true;
}

// Empty (or "<empty>") unloads the tables, silently as at start-up; any other path gets one
// line: what was found, and each folder that is not used and why.
void applySyzygyPath(const std::string& path) {
    const bool empty = path.empty() || path == "<empty>";
    const TableScan scan = loadTablebases(empty ? std::string() : path);
    if (empty) return;
    std::string text = "info string SyzygyPath " + printablePath(path) + ": ";
    if (scan.tables == 0)
        text += "no tables found";
    else
        text += std::to_string(scan.tables) + " tables (" + std::to_string(scan.dtzTables) +
                " with distance to zero), largest " + std::to_string(tablebaseLargest()) +
                " pieces";
    for (size_t i = 0; i < scan.problems.size(); ++i)
        text += (i ? "; " : "; not used: ") + printablePath(scan.problems[i]);
    sendText("%s\n", text.c_str());
}

// "SyzygyPath" has a reader of its own, as "EvalFile" has: its path may hold any other
// option's words. True when the line was it.
bool readSyzygyPath(const char* line) {
    std::string path;
    if (!readPathOption(line, "SyzygyPath", path)) return false;
    if (searchRunning()) {
        SyzygyPathDeferred = true;
        DeferredSyzygyPath = path;
    } else {
        applySyzygyPath(path);
    }
    return true;
}

// A check option's "NAME value true/false" (in any case); anything else leaves it.
void readCheck(const char* line, const char* nameValue, int32_t& value) {
    const char* k = std::strstr(line, nameValue);
    if (!k) return;
    const char* word = k + std::strlen(nameValue);
    while (isBlank(*word)) ++word;
    const char* end = word;
    while (*end && !isBlank(*end) && *end != '\n' && *end != '\r') ++end;
    const std::string text(word, size_t(end - word));
    if (equalsIgnoringCase(text, "true")) value = 1;
    if (equalsIgnoringCase(text, "false")) value = 0;
}

}  // namespace

void selectEvaluation() {
    const uint32_t before = EvaluationId;
    if (!enableNetwork(UseNetworkOption && !LimitStrength)) {
        UseNetworkOption = false;
        sendText(
            "info string Use NNUE: no valid network is loaded, the evaluation stays as it is\n");
    }
    ActiveSearch = NetworkEnabled ? SearchKind::Network : SearchKind::Specified;
    clearHashIfEvaluationChanged(before);
}

bool Chess960 = false;

bool searchRunning() {
    return GoRunning || SearchActive != 0;
}
void setGoRunning(bool running) {
    GoRunning = running;
}

void setOption(const char* line) {
    // First: a network option's value is a path or a word that may hold any other option's name.
    if (readNetworkOption(line) || readSyzygyPath(line)) return;
    // The button's line carries "Hash value" when a GUI sends it with an empty value: it
    // must not resize the table.
    if (std::strstr(line, "Clear Hash")) {
        if (searchRunning())
            ClearDeferred = true;
        else
            clearHash();
        return;
    }
    if (const char* k = std::strstr(line, "Hash value")) {
        HashMegabytes = saturate32(readInt64(numberAt(k, 11)));
        if (searchRunning())
            HashDeferred = true;
        else
            resizeTable();
    }
    if (std::strstr(line, "Traffic Limit value Normal")) TrafficLimit = 2;
    if (std::strstr(line, "Traffic Limit value Ultrafast")) TrafficLimit = 0;
    if (std::strstr(line, "Traffic Limit value Fast")) TrafficLimit = 1;
    if (std::strstr(line, "Traffic Limit value Analyse")) TrafficLimit = 3;
    if (std::strstr(line, "Traffic Limit value Ignore")) TrafficLimit = 4;
    if (const char* k = std::strstr(line, "Traffic Depth value"))
        TrafficDepth = saturate32(2 * int64_t(saturate32(readInt64(numberAt(k, 20)))));
    if (const char* k = std::strstr(line, "Threads value")) {
        const int64_t n = readInt64(numberAt(k, 14));
        const int32_t threads = int32_t(n < 1 ? 1 : n > MaxSearchThreads ? MaxSearchThreads : n);
        if (searchRunning())
            DeferredThreads = threads;
        else
            setSearchThreads(threads);
    }
    // Read by the next "go": a search that runs keeps the values it started with.
    readSpin(line, "MultiPV value", 1, 256, MultiPv);
    readSpin(line, "Move Overhead value", 0, 5000, MoveOverhead);
    readSpin(line, "UCI_Elo value", StrengthEloMin, StrengthEloMax, StrengthElo);
    if (const char* k = std::strstr(line, "UCI_LimitStrength value ")) {
        const char* value = k + std::strlen("UCI_LimitStrength value ");
        while (isBlank(*value)) ++value;
        const char* end = value;
        while (*end && !isBlank(*end) && *end != '\n' && *end != '\r') ++end;
        const std::string word(value, size_t(end - value));
        if (equalsIgnoringCase(word, "true")) LimitStrength = 1;
        if (equalsIgnoringCase(word, "false")) LimitStrength = 0;
    }
    if (const char* k = std::strstr(line, "UCI_Chess960 value ")) {
        const char* value = k + std::strlen("UCI_Chess960 value ");
        while (isBlank(*value)) ++value;
        const char* end = value;
        while (*end && !isBlank(*end) && *end != '\n' && *end != '\r') ++end;
        const std::string word(value, size_t(end - value));
        if (equalsIgnoringCase(word, "true")) Chess960 = true;
        if (equalsIgnoringCase(word, "false")) Chess960 = false;
    }
    // Read by the searches that probe the tables.
    readSpin(line, "SyzygyProbeDepth value", 1, 100, SyzygyProbeDepth);
    readSpin(line, "SyzygyProbeLimit value", 0, 7, SyzygyProbeLimit);
    readCheck(line, "Syzygy50MoveRule value ", Syzygy50MoveRule);
    readCheck(line, "UCI_ShowWDL value ", ShowWdl);
    // "Ponder" only tells the GUI that the engine ponders when told "go ponder".
}

void applyDeferredOptions() {
    if (HashDeferred) {
        HashDeferred = false;
        resizeTable();
    }
    if (DeferredThreads) {
        setSearchThreads(DeferredThreads);
        DeferredThreads = 0;
    }
    if (ClearDeferred) {
        ClearDeferred = false;
        clearHash();
    }
    if (EvalFileDeferred) {
        EvalFileDeferred = false;
        applyEvalFile(DeferredEvalFile);
    }
    if (DeferredUseNetwork >= 0) {
        applyUseNetwork(DeferredUseNetwork != 0);
        DeferredUseNetwork = -1;
    }
    if (SyzygyPathDeferred) {
        SyzygyPathDeferred = false;
        applySyzygyPath(DeferredSyzygyPath);
    }
}

void parseGo(const char* line) {
    Limits = SearchLimits{};
    // The moves after "searchmoves" are read only for a position the search accepts
    // (readSearchMoves); the keyword scan cannot meet a keyword inside a move's text.
    clearList(SearchMoves);
    if (std::strstr(line, "ponder")) Limits.ponder = 1;
    if (std::strstr(line, "infinite")) Limits.infinite = 1;
    if (const char* k = std::strstr(line, "depth")) Limits.depth = read16(numberAt(k, 6));
    if (const char* k = std::strstr(line, "mate")) Limits.mate = read16(numberAt(k, 5));
    if (const char* k = std::strstr(line, "wtime")) Limits.wtime = readInt64(numberAt(k, 6));
    if (const char* k = std::strstr(line, "btime")) Limits.btime = readInt64(numberAt(k, 6));
    if (const char* k = std::strstr(line, "winc")) Limits.winc = readInt64(numberAt(k, 5));
    if (const char* k = std::strstr(line, "binc")) Limits.binc = readInt64(numberAt(k, 5));
    if (const char* k = std::strstr(line, "nodes")) Limits.nodes = readUint64(numberAt(k, 6));
    if (const char* k = std::strstr(line, "movetime")) Limits.movetime = readInt64(numberAt(k, 9));
    if (const char* k = std::strstr(line, "movestogo")) Limits.movestogo = read16(numberAt(k, 10));
}

bool readSearchMoves(const char* line, Position& p) {
    const char* at = std::strstr(line, "searchmoves");
    if (!at) return true;
    at += std::strlen("searchmoves");
    MoveList legal;
    generateLegalMoves(p, legal);
    for (;;) {
        while (*at == ' ' || *at == '\t') ++at;
        const char* word = at;
        while (*at && *at != ' ' && *at != '\t') ++at;
        const Move m = legalMoveNamed(p, legal, word, size_t(at - word));
        if (!m) break;
        bool listed = false;
        for (int i = 0; i < SearchMoves.count && !listed; ++i)
            listed = SearchMoves.moveWords[i] == m;
        if (!listed) pushMove(SearchMoves, m, 0);
    }
    return SearchMoves.count > 0;
}

void prepareSearch() {
    if (Limits.depth != 0)
        controlMode = ModeDepth;
    else if (Limits.infinite)
        controlMode = ModeInfinite;
    else if (Limits.mate != 0)
        controlMode = ModeMate;
    else if (Limits.nodes != 0)
        controlMode = ModeNodes;
    else if (Limits.ponder)
        controlMode = ModePonder | ModeClock;
    else if (Limits.movetime != 0)
        controlMode = ModeMoveTime;
    else
        controlMode = ModeClock;
    computeTimeBudget();
    resetSearchResults();
    tableGeneration = uint8_t(tableGeneration + 1);
}

void computeTimeBudget() {
    bool white = globalPosition.sideToMove == White;
    int64_t remaining = white ? Limits.wtime : Limits.btime;
    int64_t increment = white ? Limits.winc : Limits.binc;
    double t = double(remaining);
    double i = double(increment);
    double m = Limits.movestogo ? Limits.movestogo : 35;
    TimeTrouble = (t <= 1000 && i == 0) ? 1 : 0;
    timeBudgetMax = truncate32(std::trunc(t * 0.25));
    TimeFactor = 1.0;
    timeBudget = truncate32(std::trunc(i * 0.9 / m) + std::trunc(t * 0.9 / m));
    // Whatever the time factor makes of the budgets, a margin of the clock stays unused.
    int64_t margin = remaining / 20 > 50 ? remaining / 20 : 50;
    timeHardLimit = remaining > margin ? remaining - margin : 0;
    moveTimeLimit = Limits.movetime;
    // The overhead is time the engine never sees: every limit shrinks by it, and the margin
    // and the time trouble rule read the clock that is left after it.
    const int64_t overhead = MoveOverhead;
    if (overhead > 0) {
        timeBudget = int32_t(timeBudget > overhead ? timeBudget - overhead : 0);
        timeBudgetMax = int32_t(timeBudgetMax > overhead ? timeBudgetMax - overhead : 0);
        const int64_t left = remaining > overhead ? remaining - overhead : 0;
        margin = left / 20 > 50 ? left / 20 : 50;
        timeHardLimit = left > margin ? left - margin : 0;
        TimeTrouble = (left <= 1000 && i == 0) ? 1 : 0;
        moveTimeLimit = Limits.movetime > overhead ? Limits.movetime - overhead : 0;
    }
}
