// Any bytes as a network file, read from memory and through the engine's file reader: neither
// may read out of bounds, both must agree, and a network either reader accepts must evaluate
// positions within the score limits, with accumulators that follow moves exactly as a rebuild
// and every vector path equal to the plain one. A mutated file's checksum is made to fit
// first, so that the checks behind it are reached.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "board/perft.h"
#include "eval/eval.h"
#include "search/startup.h"
#include "support/checks.h"
#include "support/scripted_platform.h"

namespace {

const char* const Fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/pb1nqppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2QPPP/R3K2R b KQkq - 0 10",
    "rnbqkb1r/pp1p1ppp/4pn2/2pP4/8/8/PPP1PPPP/RNBQKBNR w KQkq c6 0 4",
    "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",
    "8/8/8/4k3/4P3/8/8/4K3 w - - 0 1",
};

void checkNetwork(const Network& net) {
    installNetwork(net);
    FUZZ_CHECK(enableNetwork(true));
    static Position p;
    static Accumulator acc, child, rebuilt;
    for (const char* fen : Fens) {
        loadFen(p, fen);
        FUZZ_CHECK(isSearchable(p));
        const int score = evaluate(p);
        FUZZ_CHECK(score >= -NetScoreLimit && score <= NetScoreLimit);
        MoveList legal;
        generateLegalMoves(p, legal);
        FUZZ_CHECK(compareSimdPaths(net, p, legal.moveWords, legal.count) == 0);
        refreshAccumulator(net, p, acc);
        for (int i = 0; i < legal.count; ++i) {
            updateAccumulator(net, acc, child, p, legal.moveWords[i]);
            UndoInfo undo;
            makeMove(p, undo, legal.moveWords[i]);
            refreshAccumulator(net, p, rebuilt);
            FUZZ_CHECK(std::memcmp(&child, &rebuilt, sizeof child) == 0);
            unmakeMove(p, undo, legal.moveWords[i]);
        }
    }
    enableNetwork(false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    if (bytes.size() >= NetHeaderBytes) {
        const uint32_t sum = networkChecksum(bytes.data(), bytes.size());
        for (int i = 0; i < 4; ++i) bytes[36 + i] = static_cast<unsigned char>(sum >> (8 * i));
    }
    auto fromMemory = std::make_unique<Network>();
    const char* reason = nullptr;
    const bool accepted = readNetwork(bytes.data(), bytes.size(), *fromMemory, reason);
    FUZZ_CHECK(accepted || reason != nullptr);

    auto fromFile = std::make_unique<Network>();
    char why[256];
    setScriptedFile(bytes.data(), bytes.size());
    const bool read = loadNetworkFile("fuzz.nnue", *fromFile, why, sizeof why);
    setScriptedFile(nullptr, 0);
    FUZZ_CHECK(read == accepted);
    if (accepted) {
        FUZZ_CHECK(std::memcmp(fromMemory.get(), fromFile.get(),
                               offsetof(Network, k) + sizeof fromFile->k) == 0);
        checkNetwork(*fromMemory);
    }
    return 0;
}
