// tolvo-eval: static evaluation of FEN positions, with a term-by-term trace and a benchmark.
//
//   tolvo-eval [--trace] [FEN]     one FEN argument, or FEN lines (EPD accepted) on stdin;
//                                  prints "FEN ;eval N" per position, N for the side to move
//   tolvo-eval --bench [FILE]      ns per evaluation over the positions of random games from
//                                  the start position and the positions of FILE (EPD or FEN)
//   tolvo-eval --records FILE      the network's score of each 32-byte training record of
//                                  FILE, one line each: N for the side to move, or "invalid"
//
// --learned evaluates with the embedded network, --evalfile PATH with a network file, --simd
// plain|sse2|avx2|neon forces the network's kernels; the evaluation in use goes to standard
// error (to standard output with --bench).
#include "eval/eval.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "datagen/record.h"
#include "eval/eval_internal.h"
#include "eval/eval_samples.h"
#include "learned.h"
#include "search/startup.h"

namespace {

const char* const GroupNames[PieceTermGroupCount] = {"pawn forks",   "knights", "bishops",
                                                     "rooks",        "queens",  "king attack",
                                                     "passed pawns", "patterns"};

std::string packed(PackedScore s) {
    return "(" + std::to_string(unpackMg(s)) + ", " + std::to_string(unpackEg(s)) + ")";
}

std::string fileSet(int files) {
    std::string text;
    for (int f = 0; f < 8; ++f) text += (files & (1 << f)) ? char('a' + f) : '-';
    return text;
}

std::string flagNames(int flags) {
    std::string text = std::to_string(flags);
    if (flags & AttackKing) text += " AttackKing";
    if (flags & WrongBishop) text += " WrongBishop";
    if (flags & LonePawn) text += " LonePawn";
    return text;
}

void printTrace(const Position& p, const EvalTrace& t) {
    const MaterialEntry& m = t.material;
    const int balance = materialBalance(countMaterial(p, White), countMaterial(p, Black));
    std::printf("  material  balance %d  scaled %d  leading %s  scale %d  phase %d\n", balance,
                m.material, m.leadingSide == 1 ? "White" : "Black", m.scale, m.phase);
    std::printf("            flags White %s  Black %s\n", flagNames(m.flags[White]).c_str(),
                flagNames(m.flags[Black]).c_str());
    const PawnEntry& pe = t.pawns;
    std::printf("  pawns     score %s  shelter White %d Black %d\n", packed(pe.score).c_str(),
                pe.shelter[White], pe.shelter[Black]);
    std::printf("            passed White %s Black %s  pawn files White %s Black %s\n",
                fileSet(pe.passedFiles[White]).c_str(), fileSet(pe.passedFiles[Black]).c_str(),
                fileSet(pe.pawnFiles[White]).c_str(), fileSet(pe.pawnFiles[Black]).c_str());
    std::printf("  piece-square %s\n", packed(t.psq).c_str());
    std::printf("  %-14s %-14s %-14s (each side's own view)\n", "term", "White", "Black");
    for (int g = 0; g < PieceTermGroupCount; ++g) {
        std::printf("  %-14s %-14s %-14s\n", GroupNames[g],
                    packed(t.pieces.group[g][White]).c_str(),
                    packed(t.pieces.group[g][Black]).c_str());
    }
    std::printf("  positional %s  blended %d  scale %d  scaled %d  + material %d = %d (White)\n",
                packed(t.positional).c_str(), t.blended, t.scale, t.scaled, m.material,
                t.whiteScore);
}

// Returns false when the position is refused.
bool evaluateLine(const std::string& line, bool trace, Position& p) {
    std::string fen = line.substr(0, line.find(';'));
    const size_t first = fen.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return true;  // blank line
    fen = fen.substr(first, fen.find_last_not_of(" \t\r\n") - first + 1);
    loadFen(p, fen.c_str());
    if (!isSearchable(p)) {
        std::printf("%s ;error malformed FEN or position the engine refuses\n", fen.c_str());
        return false;
    }
    if (!trace) {
        std::printf("%s ;eval %d\n", fen.c_str(), evaluate(p));
        return true;
    }
    EvalTrace t;
    const int score = evaluateTraced(p, t);
    std::printf("%s ;eval %d\n", fen.c_str(), score);
    printTrace(p, t);
    return true;
}

// What the evaluation reads lies before the key history; copying just that keeps the
// benchmark's working set at one position.
constexpr size_t EvaluatedBytes = offsetof(Position, keyCount);
struct Sample {
    unsigned char bytes[EvaluatedBytes];
};

using Clock = std::chrono::steady_clock;

double nanoseconds(Clock::duration d) {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count());
}

void load(Position& work, const Sample& s) {
    std::memcpy(static_cast<void*>(&work), s.bytes, EvaluatedBytes);
}

// Median ns per call over several runs of a loop that copies each sample into `work` and, when
// `evaluating`, evaluates it; the loop without evaluation is the baseline to subtract. `before`
// runs ahead of each timed loop.
template <typename Before>
double loopNs(const std::vector<Sample>& samples, Position& work, bool evaluating,
              long long& checksum, Before before) {
    std::vector<double> runs;
    for (int run = 0; run < 15; ++run) {
        before();
        const auto start = Clock::now();
        for (const Sample& s : samples) {
            load(work, s);
            checksum += evaluating ? evaluate(work) : int(work.key & 1);
        }
        runs.push_back(nanoseconds(Clock::now() - start) / double(samples.size()));
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// Median ns of one evaluation with all three caches emptied (and so flushed from the CPU
// caches too) before it; each call is timed alone, less the cost of reading the clock.
double coldNs(const std::vector<Sample>& samples, Position& work, long long& checksum) {
    double timerNs = 0;
    for (int i = 0; i < 1000; ++i) {
        const auto start = Clock::now();
        timerNs += nanoseconds(Clock::now() - start);
    }
    timerNs /= 1000;
    std::vector<double> runs;
    for (int run = 0; run < 3; ++run) {
        double total = 0;
        for (const Sample& s : samples) {
            load(work, s);
            clearEvaluationCaches();
            const auto start = Clock::now();
            checksum += evaluate(work);
            total += nanoseconds(Clock::now() - start) - timerNs;
        }
        runs.push_back(total / double(samples.size()));
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// The network's parts on their own: the accumulator from scratch, the update after a move
// (up to eight legal moves of each sample), and the output layer.
void networkBench(const std::vector<Sample>& samples, Position& work) {
    std::vector<std::vector<Move>> moves;
    size_t moveCount = 0;
    for (const Sample& s : samples) {
        load(work, s);
        MoveList legal;
        generateLegalMoves(work, legal);
        moves.emplace_back(legal.moveWords, legal.moveWords + std::min<int>(legal.count, 8));
        moveCount += moves.back().size();
    }
    const Network& net = currentNetwork();
    static Accumulator acc, child;
    long long checksum = 0;
    auto median = [&](int mode) {
        std::vector<double> runs;
        for (int run = 0; run < 9; ++run) {
            const auto start = Clock::now();
            for (size_t i = 0; i < samples.size(); ++i) {
                load(work, samples[i]);
                refreshAccumulator(net, work, acc);
                if (mode == 1) checksum += networkOutput(net, acc, work);
                if (mode == 2) {
                    for (Move m : moves[i]) {
                        updateAccumulator(net, acc, child, work, m);
                        checksum += child.view[0][i & 255];
                    }
                }
            }
            runs.push_back(nanoseconds(Clock::now() - start));
        }
        std::sort(runs.begin(), runs.end());
        return runs[runs.size() / 2];
    };
    const double refresh = median(0), output = median(1) - refresh, update = median(2) - refresh;
    const double n = double(samples.size());
    std::printf("network (SIMD %s, checksum %lld):\n", simdPathName(currentSimdPath()), checksum);
    std::printf("accumulator from scratch:       %7.1f ns per position\n", refresh / n);
    std::printf("accumulator update:             %7.1f ns per move (%zu moves)\n",
                update / double(moveCount), moveCount);
    std::printf("output layer:                   %7.1f ns per evaluation\n", output / n);
}

// The board and side to move of a 32-byte training record, read through the FEN reader the
// engine uses; false when the record is not one or its position is not searchable.
bool decodeRecord(const unsigned char* bytes, Position& p) {
    const std::string fen = datagen::recordToFen(datagen::recordFromBytes(bytes));
    if (fen.empty()) return false;
    loadFen(p, fen.c_str());
    return isSearchable(p);
}

int scoreRecords(const char* path) {
    std::FILE* in = std::fopen(path, "rb");
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    auto p = std::make_unique<Position>();
    unsigned char record[32];
    while (std::fread(record, 1, sizeof record, in) == sizeof record) {
        if (decodeRecord(record, *p))
            std::printf("%d\n", networkScore(*p));
        else
            std::printf("invalid\n");
    }
    std::fclose(in);
    return 0;
}

int bench(const char* file) {
    // The positions of the colour-symmetry test: random games from the file's positions and
    // the start position.
    std::vector<std::string> fens;
    if (file) fens = readFenLines(file);
    fens.push_back(StartFen);
    // Distinct positions only, so that no call in a timed loop is a repeat.
    std::vector<Sample> samples;
    std::unordered_set<uint64_t> keys;
    forEachSamplePosition(fens, StandardSampleCount, StandardSampleSeed, StandardSampleMaxPlies,
                          [&](Position& p) {
                              if (!keys.insert(p.key).second) return;
                              Sample s;
                              std::memcpy(s.bytes, static_cast<const void*>(&p), EvaluatedBytes);
                              samples.push_back(s);
                          });
    if (samples.empty()) {
        std::printf("no positions to measure\n");
        return 1;
    }
    auto work = std::make_unique<Position>();
    long long checksum = 0;
    const double cold = coldNs(samples, *work, checksum);
    const double copy = loopNs(samples, *work, false, checksum, [] {});
    // Pawn and material tables warm from the loops before, evaluation cache emptied.
    const double warm = loopNs(samples, *work, true, checksum, clearScoreCache) - copy;
    const double hit = loopNs(samples, *work, true, checksum, [] {}) - copy;

    std::printf("%zu distinct positions from %zu start positions (checksum %lld)\n", samples.size(),
                fens.size(), checksum);
    std::printf("cold caches:                    %7.1f ns per evaluation\n", cold);
    std::printf("warm pawn and material tables:  %7.1f ns per evaluation\n", warm);
    std::printf("evaluation cache hit:           %7.1f ns per evaluation\n", hit);
    if (NetworkEnabled) networkBench(samples, *work);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool trace = false, benchMode = false;
    const char* benchFile = nullptr;
    const char* recordFile = nullptr;
    EvaluationChoice choice;
    std::string fenArgument;
    for (int i = 1; i < argc; ++i) {
        if (takeEvaluationFlag(argc, argv, i, choice)) continue;
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
            recordFile = argv[++i];
            choice.learned = true;
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            trace = true;
        } else if (std::strcmp(argv[i], "--bench") == 0) {
            benchMode = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') benchFile = argv[++i];
        } else {
            if (!fenArgument.empty()) fenArgument += ' ';
            fenArgument += argv[i];
        }
    }
    initEngine();
    if (!applyEvaluationChoice(choice)) return 2;
    if (recordFile) return scoreRecords(recordFile);
    if (benchMode) {
        std::printf("evaluation: %s\n", describeEvaluation(choice).c_str());
        return bench(benchFile);
    }
    std::fprintf(stderr, "evaluation: %s\n", describeEvaluation(choice).c_str());
    auto position = std::make_unique<Position>();
    bool allGood = true;
    if (!fenArgument.empty()) {
        allGood = evaluateLine(fenArgument, trace, *position);
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            allGood = evaluateLine(line, trace, *position) && allGood;
            std::fflush(stdout);
        }
    }
    return allGood ? 0 : 1;
}
