// tolvo-perft: counts move paths to prove the move generator and measure its speed.
//
//   tolvo-perft DEPTH [FEN]              total count, time and speed
//   tolvo-perft --divide DEPTH [FEN]     count below each root move, then the total
//   tolvo-perft --suite FILE [--max-depth N]
//                                        checks "FEN ;D1 n ;D2 n ..." lines; exit 1 on a mismatch
//
// Bad arguments, an unreadable file or a position the engine would refuse to search give
// one line on stderr and exit code 2.
#include "board/perft.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/startup.h"

namespace {

const char* const Usage =
    "usage: tolvo-perft DEPTH [FEN] | --divide DEPTH [FEN] | --suite FILE [--max-depth N]";

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "tolvo-perft: %s\n", message.c_str());
    std::exit(2);
}

// A whole decimal number within 1..limit, or -1.
int readDepth(const char* text, int limit) {
    if (!text || !*text) return -1;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
        if (value > limit) return -1;
    }
    return value >= 1 ? int(value) : -1;
}

std::string joinArguments(int argc, char** argv, int first) {
    std::string fen;
    for (int i = first; i < argc; ++i) {
        if (!fen.empty()) fen += ' ';
        fen += argv[i];
    }
    return fen;
}

// Builds the position or explains why it cannot be searched.
bool setUp(Position& p, const std::string& fen, std::string& why) {
    loadFen(p, fen.c_str());
    if (!isSearchable(p)) {
        why = "not a searchable position: " + fen;
        return false;
    }
    return true;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int runCount(int depth, const std::string& fen, bool divide) {
    static Position p;
    std::string why;
    if (!setUp(p, fen, why)) fail(why);
    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    if (divide) {
        MoveList moves;
        generateLegalMoves(p, moves);
        for (int i = 0; i < moves.count; ++i) {
            const Move m = moves.moveWords[i];
            UndoInfo undo;
            makeMove(p, undo, m);
            const uint64_t n = perft(p, depth - 1);
            unmakeMove(p, undo, m);
            total += n;
            std::printf("%s: %" PRIu64 "\n", moveToText(p, m), n);
        }
        std::printf("total: %" PRIu64 "\n", total);
        return 0;
    }
    total = perft(p, depth);
    const double seconds = secondsSince(start);
    std::printf("perft %d: %" PRIu64 "\n", depth, total);
    std::printf("time %.3f s, %.1f Mnps\n", seconds,
                seconds > 0 ? double(total) / seconds / 1e6 : 0.0);
    return 0;
}

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// Checks one suite line; prints a line per problem. True when every depth matched.
bool checkSuiteLine(const std::string& line, int lineNumber, int maxDepth) {
    static Position p;
    const size_t semicolon = line.find(';');
    const std::string fen = trimmed(line.substr(0, semicolon));
    std::string why;
    if (!setUp(p, fen, why)) {
        std::printf("line %d: %s\n", lineNumber, why.c_str());
        return false;
    }
    bool ok = true;
    for (size_t at = semicolon; at != std::string::npos; at = line.find(';', at + 1)) {
        int depth = 0;
        unsigned long long expected = 0;
        if (std::sscanf(line.c_str() + at, "; D%d %llu", &depth, &expected) != 2 || depth < 1 ||
            depth > MaxPerftDepth) {
            std::printf("line %d: cannot read the depth field \"%s\"\n", lineNumber,
                        trimmed(line.substr(at, line.find(';', at + 1) - at)).c_str());
            return false;
        }
        if (depth > maxDepth) continue;
        const uint64_t found = perft(p, depth);
        if (found != expected) {
            std::printf("line %d depth %d: expected %llu, found %" PRIu64 " (%s)\n", lineNumber,
                        depth, expected, found, fen.c_str());
            ok = false;
        }
    }
    return ok;
}

int runSuite(const char* path, int maxDepth) {
    std::ifstream in(path);
    if (!in) fail(std::string("cannot read ") + path);
    int passed = 0, failed = 0, lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == '#') continue;
        if (checkSuiteLine(t, lineNumber, maxDepth))
            ++passed;
        else
            ++failed;
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    initEngine();
    if (argc < 2) fail(Usage);

    if (std::strcmp(argv[1], "--suite") == 0) {
        if (argc != 3 && argc != 5) fail(Usage);
        int maxDepth = MaxPerftDepth;
        if (argc == 5) {
            if (std::strcmp(argv[3], "--max-depth") != 0) fail(Usage);
            maxDepth = readDepth(argv[4], MaxPerftDepth);
            if (maxDepth < 0) fail(std::string("bad depth: ") + argv[4]);
        }
        return runSuite(argv[2], maxDepth);
    }

    const bool divide = std::strcmp(argv[1], "--divide") == 0;
    const int depthArgument = divide ? 2 : 1;
    if (argc <= depthArgument) fail(Usage);
    const int depth = readDepth(argv[depthArgument], MaxPerftDepth);
    if (depth < 0) fail(std::string("bad depth: ") + argv[depthArgument]);
    std::string fen = joinArguments(argc, argv, depthArgument + 1);
    if (fen.empty()) fen = StartFen;
    return runCount(depth, fen, divide);
}
