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

TEST(NetworkFile, ARoundTripKeepsEveryWeightAndTheLimitsThemselvesAreAccepted) {
    auto net = randomNetwork(1);
    std::vector<unsigned char> bytes = networkBytes(*net);
    ASSERT_EQ(bytes.size(), NetFileBytes);
    ASSERT_EQ(NetFileBytes, 394820u);
    put16(bytes, FirstLayerAt, NetFirstLayerLimit);
    put16(bytes, BiasAt + 2, -NetFirstLayerLimit);
    put16(bytes, OutputAt + 4, -NetOutputWeightLimit);
    putU32(bytes, OutputBiasAt, uint32_t(-NetOutputBiasLimit));
    putU32(bytes, 24, NetMaxK);
    sealNetwork(bytes);
    auto back = std::make_unique<Network>();
    const char* reason = "";
    ASSERT_TRUE(readNetwork(bytes.data(), bytes.size(), *back, reason)) << reason;
    EXPECT_EQ(networkBytes(*back), bytes);
    EXPECT_EQ(back->w1[0][0], NetFirstLayerLimit);
    EXPECT_EQ(back->b2, -NetOutputBiasLimit);
    EXPECT_EQ(back->k, NetMaxK);
}

TEST(NetworkFile, EachFaultIsRefusedWithItsReason) {
    const std::vector<unsigned char> good = networkBytes(*randomNetwork(2));
    using Damage = std::function<void(std::vector<unsigned char>&)>;
    const struct {
        const char* what;
        Damage damage;
        bool reseal;  // the checksum is made to fit again, so that later checks are reached
        const char* reason;
    } faults[] = {
        {"magic", [](auto& b) { b[3] = 'X'; }, false, "wrong magic"},
        {"empty file", [](auto& b) { b.clear(); }, false, "wrong magic"},
        {"version", [](auto& b) { putU32(b, 8, 2); }, false, "format version"},
        {"inputs", [](auto& b) { putU32(b, 12, 769); }, false, "layer sizes"},
        {"hidden", [](auto& b) { putU32(b, 16, 512); }, false, "layer sizes"},
        {"outputs", [](auto& b) { putU32(b, 20, 2); }, false, "layer sizes"},
        {"QA", [](auto& b) { putU32(b, 28, 127); }, false, "quantisation"},
        {"QB", [](auto& b) { putU32(b, 32, 128); }, false, "quantisation"},
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
        {tooLong.path, "too long (a network is 394820 bytes); the file has 398916 bytes"},
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
    int mismatches = 0, moves = 0;
    forSamples(1500, [&](Position& p, const MoveList& legal) {
        mismatches += compareSimdPaths(*extreme, p, legal.moveWords, legal.count);
        mismatches += compareSimdPaths(currentNetwork(), p, legal.moveWords, legal.count);
        moves += legal.count;
    });
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(moves, 20000);
    EXPECT_TRUE(simdPathSupported(SimdPath::Plain));
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

TEST(NetworkAccumulator, IncrementalUpdatesEqualARebuildAtEveryNodeOfTheSuiteWalk) {
    auto net = randomNetwork(5);
    auto p = std::make_unique<Position>();
    auto root = std::make_unique<Accumulator>();
    uint64_t nodes = 0;
    for (const SuitePosition& line : perftSuite()) {
        loadFen(*p, line.fen.c_str());
        refreshAccumulator(*net, *p, *root);
        walk(*net, *p, *root, 3, nodes);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "in the walk from " << line.fen;
            break;
        }
    }
    EXPECT_GT(nodes, 500000u);
}

// The same from Chess960 positions, whose castlings may put the king on its rook's square or
// leave one of the two where it stands.
TEST(NetworkAccumulator, IncrementalUpdatesEqualARebuildThroughChess960Castlings) {
    auto net = randomNetwork(7);
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
    auto a = std::make_unique<Accumulator>(), b = std::make_unique<Accumulator>();
    int compared = 0;
    for (const Network* net : {&currentNetwork(), static_cast<const Network*>(extreme.get())}) {
        forSamples(3000, [&](Position& p, const MoveList&) {
            auto m = colourMirror(p);
            refreshAccumulator(*net, p, *a);
            refreshAccumulator(*net, *m, *b);
            ASSERT_EQ(std::memcmp(a->view[White], b->view[Black], sizeof a->view[0]), 0);
            ASSERT_EQ(networkOutput(*net, *a, Color(p.sideToMove)),
                      networkOutput(*net, *b, Color(m->sideToMove)));
            ++compared;
        });
    }
    EXPECT_EQ(compared, 6000);
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
    huge->b2 = NetOutputBiasLimit;
    huge->k = NetMaxK;
    installNetwork(*huge);
    auto p = positionFrom(StartFen);
    EXPECT_EQ(evaluate(*p), NetScoreLimit);
    huge->b2 = -NetOutputBiasLimit;
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
