// Fixed-depth search of a built-in set of positions: the node total is the search's
// signature (any change of behaviour changes it), the speed its throughput.
//
//   tolvo-bench [--depth N] [--hash MB] [--threads N] [--multipv N] [--learned]
//               [--evalfile PATH] [--simd plain|sse2|avx2|neon] [--search specified|network]
//   tolvo-bench [--evalfile PATH] --simd-selfcheck
//
// With more than one thread the helpers' share of the work varies from run to run, so the
// node total is a signature only at one thread (and one line: --multipv searches N lines).
// With the network (--learned, or a file) the total is the network's own signature, the same
// on every platform and SIMD path. The self-check compares every vector path the CPU has with
// the plain one.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "eval/eval_samples.h"
#include "learned.h"
#include "platform/platform.h"
#include "search/control.h"
#include "search/search.h"
#include "search/startup.h"
#include "search/state.h"
#include "search/threads.h"
#include "search/tt.h"

namespace {

constexpr int DefaultDepth = 12;

const char* const Positions[] = {
    // Openings.
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/1ppp1ppp/p1n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 4",
    "rnbqkb1r/1p2pppp/p2p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
    "rnbqk2r/ppp1bppp/4pn2/3p2B1/2PP4/2N5/PP2PPPP/R2QKBNR w KQkq - 3 5",
    "rnbqk1nr/ppp2ppp/4p3/3p4/1b1PP3/2N5/PPP2PPP/R1BQKBNR w KQkq - 2 4",
    "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbq1rk1/ppp1ppbp/3p1np1/8/2PPP3/2N2N2/PP3PPP/R1BQKB1R w KQ - 0 6",
    "rnbqkbnr/pp2pppp/2p5/3p4/3PP3/8/PPP2PPP/RNBQKBNR w KQkq - 0 3",
    // Middlegames.
    "r1bqkb1r/pp3ppp/2n1pn2/2pp4/3P4/2PBPN2/PP3PPP/RNBQK2R w KQkq - 0 6",
    "r2qkb1r/pp2pppp/2n2n2/3p1b2/3P4/2N1PN2/PP3PPP/R1BQKB1R w KQkq - 2 7",
    "2rq1rk1/pp1bbppp/2n1pn2/3p4/3P4/P1NBPN2/1P3PPP/R1BQ1RK1 w - - 1 11",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnb2rk1/pp2qppp/2pb1n2/3p4/3P4/2NBPN2/PPQ2PPP/R1B2RK1 w - - 4 9",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/3P1N2/PPP2PPP/RNBQK2R w KQkq - 1 5",
    "r2q1rk1/1b1nbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 11",
    "2kr3r/ppp2ppp/2n1bn2/2b1p3/4P3/2NP1N2/PPP1BPPP/R1B2RK1 w - - 4 9",
    "r1bqr1k1/pp3pbp/2np1np1/2p1p3/2P1P3/2NP1NP1/PP3PBP/R1BQR1K1 w - - 2 10",
    "3r1rk1/pp3ppp/2n1bn2/q1bp4/8/P1N1PN2/1PQ1BPPP/R1B2RK1 w - - 0 12",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 b - - 0 7",
    "r3k2r/pb1nqppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2QPPP/R3K2R b KQkq - 0 10",
    // Endgames.
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "8/8/8/3k4/8/8/8/R3K3 w - - 0 1",
    "8/5pk1/6p1/R6p/P7/6P1/5PKP/1r6 w - - 0 1",
    "1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1",
    "8/pk6/8/8/8/8/6KP/8 w - - 0 1",
    "8/3k4/3p4/2pP1b2/2P5/3K1B2/8/8 w - - 0 1",
    "8/5k2/3n4/4p3/4P3/3K1N2/8/8 w - - 0 1",
    "8/8/4k3/8/3r4/8/2K5/7Q w - - 0 1",
    "8/pp3k2/2p2pp1/8/2PP4/1P3PP1/P5K1/8 w - - 0 1",
    "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",
    "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",
    // In check.
    "rnbqk1nr/pppp1ppp/8/4p3/1b1P4/8/PPP1PPPP/RNBQKBNR w KQkq - 1 3",
    "rnbqkbnr/ppp2ppp/8/1B1pp3/4P3/8/PPPP1PPP/RNBQK1NR b KQkq - 1 3",
    "4k3/8/8/8/8/8/3q4/4K3 w - - 0 1",
    "3qk3/8/8/8/8/5n2/8/4K2R w K - 0 1",
    // Mates to find, and positions without a move.
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "6k1/8/1q6/8/8/7n/6PP/R6K b - - 0 1",
    "rnb1kbnr/pppp1ppp/8/4p3/5PPq/8/PPPPP2P/RNBQKBNR w KQkq - 1 3",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
};

// A fixed-depth search from a cleared table and cleared search state.
void prepareBenchSearch(int depth) {
    clearSearchState();
    Limits = SearchLimits{};
    Limits.depth = uint16_t(depth);
    controlMode = ModeDepth;
    timeBudget = timeBudgetMax = 0;
    timeHardLimit = 0;
    TimeTrouble = 0;
}

// The result the search reported last: its final report comes right before "bestmove".
struct Reported {
    Move move;
    int score;
};
Reported LastReported;

int readOption(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
    return fallback;
}

// The network's kernels on every vector path against the plain ones, over random games from
// the bench positions: accumulators from scratch and after each legal move, and the outputs.
int simdSelfCheck() {
    std::string names;
    for (SimdPath path : {SimdPath::Sse2, SimdPath::Avx2, SimdPath::Neon})
        if (simdPathSupported(path))
            names += std::string(names.empty() ? "" : ", ") + simdPathName(path);
    const std::vector<std::string> fens(std::begin(Positions), std::end(Positions));
    uint64_t positions = 0, moves = 0, mismatches = 0;
    forEachSamplePosition(fens, 3000, 0xC0FFEE, 80, [&](Position& p) {
        MoveList legal;
        generateLegalMoves(p, legal);
        mismatches += compareSimdPaths(currentNetwork(), p, legal.moveWords, legal.count);
        ++positions;
        moves += legal.count;
    });
    std::printf("SIMD self-check: %s against plain on %" PRIu64 " positions and %" PRIu64
                " moves: %s\n",
                names.empty() ? "no vector path" : names.c_str(), positions, moves,
                mismatches ? "MISMATCH" : "equal");
    return mismatches || positions == 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    initEngine();
    EvaluationChoice choice;
    bool selfCheck = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simd-selfcheck") == 0)
            selfCheck = true;
        else
            takeEvaluationFlag(argc, argv, i, choice);
    }
    if (!applyEvaluationChoice(choice)) return 2;
    if (selfCheck) return simdSelfCheck();
    if (NetworkEnabled || ActiveSearch != SearchKind::Specified) {
        std::printf("Evaluation: %s\n", describeEvaluation(choice).c_str());
        std::fflush(stdout);
    }
    const int depth = readOption(argc, argv, "--depth", DefaultDepth);
    const int hash = readOption(argc, argv, "--hash", 16);
    allocateTable(hash);
    setSearchThreads(readOption(argc, argv, "--threads", 1));
    const int lines = readOption(argc, argv, "--multipv", 1);
    MultiPv = lines < 1 ? 1 : lines > 256 ? 256 : lines;
    // The bench searches without input and prints its own lines.
    InputPoll = nullptr;
    Reporter = SearchReporter{};
    // Line 1's score: the final report gives it first.
    Reporter.pv = [](int score, int, int, const PvLine&, int multiPv) {
        if (multiPv <= 1) LastReported.score = score;
    };
    Reporter.bestMove = [](Move move, const PvLine&) { LastReported.move = move; };

    uint64_t total = 0;
    uint64_t elapsed = 0;  // searching only, not clearing the table
    int index = 0;
    for (const char* fen : Positions) {
        static Position position;
        loadFen(position, fen);
        prepareBenchSearch(depth < 1 ? 1 : depth > 255 ? 255 : depth);
        const uint64_t start = tickCountMs();
        SearchDriver(position);
        elapsed += tickCountMs() - start;
        const uint64_t nodes = totalNodes();
        total += nodes;
        std::printf("%2d  bestmove %-5s score %6d  nodes %12" PRIu64 "  %s\n", ++index,
                    moveToText(position, LastReported.move), LastReported.score, nodes, fen);
    }
    shutdownSearchThreads();
    std::printf("Nodes searched: %" PRIu64 "\n", total);
    std::printf("Nodes/second: %" PRIu64 "\n", elapsed ? total * 1000 / elapsed : total * 1000);
    std::printf("Search time (ms): %" PRIu64 "\n", elapsed);
    return 0;
}
