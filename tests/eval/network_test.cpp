// The learned evaluation: the network file and its loader, the kernels on every path, the
// accumulators against a rebuild, colour symmetry, and evaluate() with the network switched on.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "eval/eval_samples.h"
#include "eval/network_kernels.h"
#include "eval_helpers.h"
#include "support/network_file.h"

namespace {

constexpr size_t FirstLayerAt = NetHeaderBytes;
constexpr size_t BiasAt = FirstLayerAt + 2 * NetInputs * NetHidden;
constexpr size_t OutputAt = BiasAt + 2 * NetHidden;
constexpr size_t OutputBiasAt = OutputAt + 4 * NetHidden;

void put16(std::vector<unsigned char>& b, size_t at, int v) {
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

// Every shape a file may have: one or eight outputs, with or without each flag.
constexpr uint32_t AllFlags[] = {0, NetSquaredActivation, NetKingMirror,
                                 NetSquaredActivation | NetKingMirror};

TEST(NetworkFile, ARoundTripKeepsEveryWeightAndTheLimitsThemselvesAreAccepted) {
    EXPECT_EQ(netFileBytes(1), 394820u);  // a one-output file is as long as the first format's
    EXPECT_EQ(netFileBytes(8), 402016u);
    for (int buckets : {1, 8}) {
        for (uint32_t flags : AllFlags) {
            SCOPED_TRACE(::testing::Message() << buckets << " outputs, flags " << flags);
            auto net = randomNetwork(1, 1.0, buckets, flags);
            std::vector<unsigned char> bytes = networkBytes(*net);
            ASSERT_EQ(bytes.size(), netFileBytes(buckets));
            const size_t outputBiasAt = OutputAt + size_t(buckets) * 4 * NetHidden;
            const int outputLimit =
                flags & NetSquaredActivation ? NetSquaredOutputWeightLimit : NetOutputWeightLimit;
            put16(bytes, FirstLayerAt, NetFirstLayerLimit);
            put16(bytes, BiasAt + 2, -NetFirstLayerLimit);
            put16(bytes, OutputAt + 4, -outputLimit);
            put16(bytes, outputBiasAt - 2, outputLimit);
            putU32(bytes, outputBiasAt + 4 * size_t(buckets - 1), uint32_t(-NetOutputBiasLimit));
            putU32(bytes, 24, NetMaxK);
            putU32(bytes, 32, NetMaxQB);
            sealNetwork(bytes);
            auto back = std::make_unique<Network>();
            const char* reason = "";
            ASSERT_TRUE(readNetwork(bytes.data(), bytes.size(), *back, reason)) << reason;
            EXPECT_EQ(networkBytes(*back), bytes);
            EXPECT_EQ(back->w1[0][0], NetFirstLayerLimit);
            EXPECT_EQ(back->w2[buckets - 1][2 * NetHidden - 1], outputLimit);
            EXPECT_EQ(back->b2[buckets - 1], -NetOutputBiasLimit);
            EXPECT_EQ(back->buckets, buckets);
            EXPECT_EQ(back->flags, flags);
            EXPECT_EQ(back->k, NetMaxK);
            EXPECT_EQ(back->qb, int(NetMaxQB));
        }
    }
}

TEST(NetworkFile, EachFaultIsRefusedWithItsReason) {
    // Output weights that also pass the squared activation's limit, so that the flag alone
    // does not make a file unusable.
    const std::vector<unsigned char> good =
        networkBytes(*randomNetwork(2, double(NetSquaredOutputWeightLimit) / NetOutputWeightLimit));
    using Damage = std::function<void(std::vector<unsigned char>&)>;
    const struct {
        const char* what;
        Damage damage;
        bool reseal;  // the checksum is made to fit again, so that later checks are reached
        const char* reason;
    } faults[] = {
        {"magic", [](auto& b) { b[3] = 'X'; }, false, "wrong magic"},
        {"empty file", [](auto& b) { b.clear(); }, false, "wrong magic"},
        {"first version", [](auto& b) { putU32(b, 8, 1); }, false,
         "format version 1 (this engine reads version 2)"},
        {"later version", [](auto& b) { putU32(b, 8, 3); }, false, "unsupported format version"},
        {"inputs", [](auto& b) { putU32(b, 12, 769); }, false, "layer sizes"},
        {"hidden", [](auto& b) { putU32(b, 16, 512); }, false, "layer sizes"},
        {"outputs", [](auto& b) { putU32(b, 20, 2); }, false, "layer sizes"},
        {"eight outputs, one's bytes", [](auto& b) { putU32(b, 20, 8); }, false,
         "truncated (a network of 8 outputs is 402016 bytes)"},
        {"unknown flag", [](auto& b) { putU32(b, 40, 4); }, false, "unknown flags"},
        {"squared, wide output weight",
         [](auto& b) {
             putU32(b, 40, NetSquaredActivation);
             put16(b, OutputAt + 6, NetSquaredOutputWeightLimit + 1);
         },
         true, "limits"},
        {"QA", [](auto& b) { putU32(b, 28, 127); }, false, "quantisation"},
        {"QB zero", [](auto& b) { putU32(b, 32, 0); }, false, "quantisation"},
        {"QB too fine", [](auto& b) { putU32(b, 32, NetMaxQB + 1); }, false, "quantisation"},
        {"K zero", [](auto& b) { putU32(b, 24, 0); }, false, "K out of range"},
        {"K too large", [](auto& b) { putU32(b, 24, NetMaxK + 1); }, false, "K out of range"},
        {"reserved", [](auto& b) { b[63] = 1; }, false, "reserved"},
        {"header cut", [](auto& b) { b.resize(40); }, false, "truncated header"},
        {"body missing", [](auto& b) { b.resize(NetHeaderBytes); }, false, "truncated"},
        {"one byte short", [](auto& b) { b.pop_back(); }, true, "truncated"},
        {"one byte long", [](auto& b) { b.push_back(0); }, true, "too long"},
        {"checksum", [](auto& b) { b[BiasAt] ^= 1; }, false, "checksum"},
        {"first layer", [](auto& b) { put16(b, FirstLayerAt + 998, NetFirstLayerLimit + 1); }, true,
         "limits"},
        {"first bias", [](auto& b) { put16(b, BiasAt, -NetFirstLayerLimit - 1); }, true, "limits"},
        {"output weight", [](auto& b) { put16(b, OutputAt + 1022, NetOutputWeightLimit + 1); },
         true, "limits"},
        {"output bias", [](auto& b) { putU32(b, OutputBiasAt, NetOutputBiasLimit + 1); }, true,
         "limits"},
    };
    for (const auto& fault : faults) {
        std::vector<unsigned char> bytes = good;
        fault.damage(bytes);
        if (fault.reseal && bytes.size() > NetHeaderBytes) sealNetwork(bytes);
        auto net = std::make_unique<Network>();
        const char* reason = "";
        EXPECT_FALSE(readNetwork(bytes.data(), bytes.size(), *net, reason)) << fault.what;
        EXPECT_NE(std::strstr(reason, fault.reason), nullptr) << fault.what << ": " << reason;
    }
}

// The embedded network is the committed file, and valid.
TEST(NetworkFile, TheEmbeddedNetworkIsTheCommittedFileAndPassesTheLoader) {
    std::ifstream in(TOLVO_SOURCE_DIR "/networks/default.nnue", std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    ASSERT_EQ(EmbeddedNetworkSize, file.size());
    EXPECT_EQ(std::memcmp(EmbeddedNetwork, file.data(), file.size()), 0);
    auto net = std::make_unique<Network>();
    const char* reason = "";
    EXPECT_TRUE(readNetwork(EmbeddedNetwork, EmbeddedNetworkSize, *net, reason)) << reason;
    EXPECT_EQ(networkBytes(*net), networkBytes(currentNetwork()));
}

TEST(NetworkFile, OnlyRegularFilesAreReadAndAFailureLeavesTheNetworkAsItWas) {
    auto net = randomNetwork(3);
    const std::vector<unsigned char> bytes = networkBytes(*net);
    ScratchFile good("network-good.nnue", bytes);
    auto loaded = std::make_unique<Network>();
    char reason[256] = "";
    ASSERT_TRUE(loadNetworkFile(good.path.c_str(), *loaded, reason, sizeof reason)) << reason;
    EXPECT_EQ(networkBytes(*loaded), bytes);

    std::vector<unsigned char> longer = bytes;
    longer.resize(longer.size() + 4096);
    ScratchFile tooLong("network-long.nnue", longer);
    ScratchFile truncated("network-short.nnue",
                          std::vector<unsigned char>(bytes.begin(), bytes.end() - 2));
    const std::string fifo = std::string(TOLVO_BUILD_DIR) + "/network-fifo.nnue";
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* reason;
    } failures[] = {
        {tooLong.path,
         "too long (a network of 1 output is 394820 bytes); the file has 398916 bytes"},
        {truncated.path, "truncated"},
        {std::string(TOLVO_BUILD_DIR) + "/no-such-network.nnue", "no such file"},
        {TOLVO_BUILD_DIR, "not a regular file"},
        {"/dev/zero", "not a regular file"},
        // A FIFO without a writer: refused at once instead of waiting for one.
        {fifo, "not a regular file"},
    };
    for (const auto& f : failures) {
        EXPECT_FALSE(loadNetworkFile(f.path.c_str(), *loaded, reason, sizeof reason)) << f.path;
        EXPECT_NE(std::strstr(reason, f.reason), nullptr) << f.path << ": " << reason;
        EXPECT_EQ(networkBytes(*loaded), bytes) << f.path;
    }
    unlink(fifo.c_str());
}

// Sample positions with their legal moves: random games from the perft suite's positions.
template <typename Visit>
void forSamples(int count, Visit visit) {
    std::vector<std::string> fens = readFenLines(TOLVO_PERFT_SUITE);
    fens.push_back(StartFen);
    forEachSamplePosition(fens, count, StandardSampleSeed, StandardSampleMaxPlies,
                          [&](Position& p) {
                              MoveList legal;
                              generateLegalMoves(p, legal);
                              visit(p, legal);
                          });
}

// Weights at the limits drive units past both ends of the clipping range; every path must
// still compute the plain path's integers exactly.
TEST(NetworkKernels, EveryVectorPathEqualsThePlainPathOnRandomPositions) {
    auto extreme = randomNetwork(4);
    auto squared = randomNetwork(4, 1.0, 8, NetSquaredActivation | NetKingMirror);
    int mismatches = 0, moves = 0;
    forSamples(1500, [&](Position& p, const MoveList& legal) {
        mismatches += compareSimdPaths(*extreme, p, legal.moveWords, legal.count);
        mismatches += compareSimdPaths(*squared, p, legal.moveWords, legal.count);
        mismatches += compareSimdPaths(currentNetwork(), p, legal.moveWords, legal.count);
        moves += legal.count;
    });
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(moves, 20000);
    EXPECT_TRUE(simdPathSupported(SimdPath::Plain));
}

// The largest sums the limits allow: every unit clipped at QA on both sides and every output
// weight at its limit, of either sign. The squared sum, 512 * 255^2 * 127, is beyond 32 bits;
// each kernel of every path must give it exactly, and the plain clip's inside int32.
TEST(NetworkKernels, TheSumsAtTheLimitsAreExactOnEveryPath) {
    std::vector<int16_t> units(NetHidden, int16_t(NetQA + NetFirstLayerLimit));
    std::vector<int16_t> weights(2 * NetHidden);
    using Dot = int32_t (*)(const int16_t*, const int16_t*, const int16_t*);
    using SquaredDot = int64_t (*)(const int16_t*, const int16_t*, const int16_t*);
    std::vector<std::pair<Dot, SquaredDot>> kernels = {
        {PlainKernels::dot, PlainKernels::squaredDot}};
#ifdef TOLVO_X86_KERNELS
    kernels.push_back({Sse2Kernels::dot, Sse2Kernels::squaredDot});
    if (simdPathSupported(SimdPath::Avx2))
        kernels.push_back({Avx2Kernels::dot, Avx2Kernels::squaredDot});
#endif
#ifdef TOLVO_NEON_KERNELS
    kernels.push_back({NeonKernels::dot, NeonKernels::squaredDot});
#endif
    for (int sign : {1, -1}) {
        for (const auto& kernel : kernels) {
            for (auto& w : weights) w = int16_t(sign * NetOutputWeightLimit);
            EXPECT_EQ(kernel.first(units.data(), units.data(), weights.data()),
                      int32_t(sign * 2 * NetHidden * NetQA * NetOutputWeightLimit));
            for (auto& w : weights) w = int16_t(sign * NetSquaredOutputWeightLimit);
            EXPECT_EQ(kernel.second(units.data(), units.data(), weights.data()),
                      int64_t(sign) * 2 * NetHidden * NetQA * NetQA * NetSquaredOutputWeightLimit);
        }
    }
    EXPECT_GT(int64_t(2) * NetHidden * NetQA * NetQA * NetSquaredOutputWeightLimit, INT32_MAX);
}

// The walk of the suite's positions to depth 3: at every node, the accumulator that followed
// the moves equals one computed from scratch.
void walk(const Network& net, Position& p, const Accumulator& acc, int depth, uint64_t& nodes) {
    ++nodes;
    static Accumulator rebuilt;
    refreshAccumulator(net, p, rebuilt);
    ASSERT_EQ(std::memcmp(&rebuilt, &acc, sizeof acc), 0) << "key " << p.key;
    if (depth == 0) return;
    MoveList legal;
    generateLegalMoves(p, legal);
    const auto child = std::make_unique<Accumulator>();
    for (int i = 0; i < legal.count; ++i) {
        const Move m = legal.moveWords[i];
        updateAccumulator(net, acc, *child, p, m);
        UndoInfo undo;
        makeMove(p, undo, m);
        walk(net, p, *child, depth - 1, nodes);
        unmakeMove(p, undo, m);
        if (::testing::Test::HasFatalFailure()) {
            ADD_FAILURE() << "after " << moveToText(p, m);
            return;
        }
    }
}

// With king mirroring, a king that crosses between the d- and e-files (castling queen side
// among them) rebuilds its side's view; the walk checks those rebuilds too.
TEST(NetworkAccumulator, IncrementalUpdatesEqualARebuildAtEveryNodeOfTheSuiteWalk) {
    for (uint32_t flags : {0u, uint32_t(NetKingMirror)}) {
        SCOPED_TRACE(::testing::Message() << "flags " << flags);
        auto net = randomNetwork(5, 1.0, 1, flags);
        auto p = std::make_unique<Position>();
        auto root = std::make_unique<Accumulator>();
        uint64_t nodes = 0;
        for (const SuitePosition& line : perftSuite()) {
            loadFen(*p, line.fen.c_str());
            refreshAccumulator(*net, *p, *root);
            walk(*net, *p, *root, 3, nodes);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "in the walk from " << line.fen;
                return;
            }
        }
        EXPECT_GT(nodes, 500000u);
    }
}

// The same from Chess960 positions, whose castlings may put the king on its rook's square or
// leave one of the two where it stands, and carry a king across the d- and e-files from
// either side (a rebuild of its view with king mirroring).
TEST(NetworkAccumulator, IncrementalUpdatesEqualARebuildThroughChess960Castlings) {
    auto net = randomNetwork(7, 1.0, 1, NetKingMirror);
    auto p = std::make_unique<Position>();
    auto root = std::make_unique<Accumulator>();
    uint64_t nodes = 0;
    const std::vector<SuitePosition>& table = chess960Table();
    for (size_t i = 0; i < table.size(); i += 3) {
        loadFen(*p, table[i].fen.c_str());
        refreshAccumulator(*net, *p, *root);
        walk(*net, *p, *root, 2, nodes);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "in the walk from " << table[i].fen;
            break;
        }
    }
    EXPECT_GT(nodes, 100000u);
}

// The network sees each side from its own side of the board: a position and its colour mirror
// have the same accumulators, exchanged, and the same score, exactly.
TEST(NetworkAccumulator, APositionAndItsColourMirrorScoreTheSame) {
    auto extreme = randomNetwork(6);
    auto shaped = randomNetwork(6, 1.0, 8, NetSquaredActivation | NetKingMirror);
    auto a = std::make_unique<Accumulator>(), b = std::make_unique<Accumulator>();
    int compared = 0;
    for (const Network* net : {&currentNetwork(), static_cast<const Network*>(extreme.get()),
                               static_cast<const Network*>(shaped.get())}) {
        forSamples(3000, [&](Position& p, const MoveList&) {
            auto m = colourMirror(p);
            refreshAccumulator(*net, p, *a);
            refreshAccumulator(*net, *m, *b);
            ASSERT_EQ(std::memcmp(a->view[White], b->view[Black], sizeof a->view[0]), 0);
            ASSERT_EQ(networkOutput(*net, *a, p), networkOutput(*net, *b, *m));
            ++compared;
        });
    }
    EXPECT_EQ(compared, 9000);
}

// The position reflected left to right: files a and h exchanged, no castling rights.
std::unique_ptr<Position> fileMirror(const Position& p) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int gap = 0;
        for (int file = 7; file >= 0; --file) {
            const int code = p.board[rank * 8 + file];
            if (code == Empty) {
                ++gap;
                continue;
            }
            if (gap) fen += char('0' + gap);
            gap = 0;
            const char letter = "..PPNNBBBBRRQQKK"[code];
            fen += code & 1 ? char(letter - 'A' + 'a') : letter;
        }
        if (gap) fen += char('0' + gap);
        if (rank) fen += '/';
    }
    fen += p.sideToMove == White ? " w - - 0 1" : " b - - 0 1";
    return positionFrom(fen.c_str());
}

// With king mirroring each side sees its king on files e-h: a position and its left-right
// reflection have the same inputs, so the same accumulators and score. Without it they differ.
TEST(NetworkAccumulator, WithKingMirroringAPositionAndItsReflectionScoreTheSame) {
    auto mirrored = randomNetwork(10, 1.0, 8, NetSquaredActivation | NetKingMirror);
    auto plain = randomNetwork(10, 1.0, 8, NetSquaredActivation);
    auto a = std::make_unique<Accumulator>(), b = std::make_unique<Accumulator>();
    int compared = 0, differing = 0;
    forSamples(2000, [&](Position& p, const MoveList&) {
        auto r = fileMirror(p);
        refreshAccumulator(*mirrored, p, *a);
        refreshAccumulator(*mirrored, *r, *b);
        ASSERT_EQ(std::memcmp(a.get(), b.get(), sizeof *a), 0);
        ASSERT_EQ(networkOutput(*mirrored, *a, p), networkOutput(*mirrored, *b, *r));
        refreshAccumulator(*plain, p, *a);
        refreshAccumulator(*plain, *r, *b);
        differing += networkOutput(*plain, *a, p) != networkOutput(*plain, *b, *r);
        ++compared;
    });
    EXPECT_EQ(compared, 2000);
    // Many scores of a random network sit at the clamp, alike for both; most still differ.
    EXPECT_GT(differing, 1000);
}

// Eight outputs: the piece count picks the bucket, 2-5 pieces the first, 30-32 the last.
TEST(NetworkAccumulator, ThePieceCountPicksTheOutputBucket) {
    auto net = randomNetwork(11, 1.0, 8, 0);
    const struct {
        int pieces, bucket;
    } cases[] = {{2, 0}, {5, 0}, {6, 1}, {17, 3}, {29, 6}, {30, 7}, {32, 7}, {40, 7}, {0, 0}};
    for (const auto& c : cases) EXPECT_EQ(networkBucket(*net, c.pieces), c.bucket) << c.pieces;
    net->buckets = 1;
    EXPECT_EQ(networkBucket(*net, 32), 0);
    // Only the bucket's weights count: zeroing another bucket leaves the score.
    net->buckets = 8;
    auto p = positionFrom(StartFen);
    auto acc = std::make_unique<Accumulator>();
    refreshAccumulator(*net, *p, *acc);
    const int before = networkOutput(*net, *acc, *p);
    for (auto& w : net->w2[6]) w = 0;
    EXPECT_EQ(networkOutput(*net, *acc, *p), before);
    for (auto& w : net->w2[7]) w = 0;
    net->b2[7] = 0;
    EXPECT_EQ(networkOutput(*net, *acc, *p), 0);
}

// The file's QB is the unit of the output sum: the same integers mean a quarter as much at a
// four times finer scale.
TEST(NetworkAccumulator, TheOutputIsInUnitsOfTheFilesQB) {
    auto net = randomNetwork(12, 1.0, 1, 0);
    for (auto& w : net->w2[0]) w = 0;
    net->b2[0] = 3 * NetQA * 256;
    net->k = 100;
    auto p = positionFrom(StartFen);
    auto acc = std::make_unique<Accumulator>();
    refreshAccumulator(*net, *p, *acc);
    for (auto [qb, score] : {std::pair{64, 1200}, {256, 300}, {1024, 75}}) {
        net->qb = qb;
        EXPECT_EQ(networkOutput(*net, *acc, *p), score) << qb;
    }
}

// Switches the network on or off for one test, and back off at its end.
struct NetworkOn {
    explicit NetworkOn(bool on = true) { EXPECT_TRUE(enableNetwork(on)); }
    ~NetworkOn() {
        enableNetwork(false);
        const char* reason = "";
        EXPECT_TRUE(installEmbeddedNetwork(reason)) << reason;
    }
};

TEST(LearnedEvaluation, DeadDrawsScoreZeroAndEverythingElseIsTheNetworksClampedScore) {
    NetworkOn on;
    // Scale 0 from the material, from the wrong-bishop rule, from the lone-pawn rule.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4KN2 w - - 0 1", "k7/8/8/8/8/8/P7/K1B5 b - - 0 1",
                            "8/8/8/4k3/4P3/8/8/4K3 w - - 0 1"}) {
        auto p = positionFrom(fen);
        EXPECT_EQ(evaluate(*p), 0) << fen;
        EXPECT_FALSE(scoreCacheHolds(*p)) << fen;
    }
    for (const char* fen :
         {StartFen, "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 4 4",
          "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"}) {
        auto p = positionFrom(fen);
        EXPECT_EQ(evaluate(*p), networkScore(*p)) << fen;
        EXPECT_EQ(evaluate(*p), networkScore(*p)) << fen << " (from the cache)";
    }
    // An output bias far beyond any position's weights: the side to move's score is the limit.
    auto huge = randomNetwork(7, 0.01);
    huge->b2[0] = NetOutputBiasLimit;
    huge->k = NetMaxK;
    installNetwork(*huge);
    auto p = positionFrom(StartFen);
    EXPECT_EQ(evaluate(*p), NetScoreLimit);
    huge->b2[0] = -NetOutputBiasLimit;
    installNetwork(*huge);
    EXPECT_EQ(evaluate(*p), -NetScoreLimit);
}

// The score cache is keyed by the position alone: after any switch, of the evaluation or of
// the network, every score is the one a fresh engine computes.
TEST(LearnedEvaluation, AfterEverySwitchEvaluationsEqualThoseOfAFreshEngine) {
    NetworkOn off(false);
    std::vector<std::unique_ptr<Position>> positions;
    forSamples(2000, [&](Position& p, const MoveList&) {
        positions.push_back(std::make_unique<Position>(p));
    });
    auto other = randomNetwork(8, 0.05);
    auto fresh = [&](bool network, const Network* net) {
        enableNetwork(network);
        if (net) installNetwork(*net);
        // New caches: a repeated position is the only hit they can give.
        auto caches = std::make_unique<EvalCaches>();
        std::vector<int> scores;
        for (auto& p : positions) scores.push_back(evaluate(*p, *caches));
        return scores;
    };
    const std::vector<int> classical = fresh(false, nullptr);
    const std::vector<int> otherScores = fresh(true, other.get());
    const char* reason = "";
    ASSERT_TRUE(installEmbeddedNetwork(reason));
    const std::vector<int> embedded = fresh(true, nullptr);
    ASSERT_NE(classical, embedded);
    ASSERT_NE(embedded, otherScores);

    // One set of caches, as a searching thread keeps them, through every switch.
    auto kept = std::make_unique<EvalCaches>();
    auto scores = [&] {
        std::vector<int> s;
        for (auto& p : positions) s.push_back(evaluate(*p, *kept));
        return s;
    };
    enableNetwork(false);
    EXPECT_EQ(scores(), classical);
    enableNetwork(true);
    EXPECT_EQ(scores(), embedded);
    installNetwork(*other);
    EXPECT_EQ(scores(), otherScores);
    installEmbeddedNetwork(reason);
    EXPECT_EQ(scores(), embedded);
    enableNetwork(false);
    EXPECT_EQ(scores(), classical);
    // The tools' caches too, and the search's form of evaluate with its own accumulator.
    enableNetwork(true);
    for (size_t i = 0; i < positions.size(); ++i) {
        EXPECT_EQ(evaluate(*positions[i]), embedded[i]);
        networkRoot(*kept, *positions[i]);
        EXPECT_EQ(evaluate(*positions[i], *kept, 0), embedded[i]);
    }
}

}  // namespace
