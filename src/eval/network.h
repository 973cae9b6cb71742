// The learned evaluation: an integer network over the pieces as each side sees them, its file
// format and loader, and the accumulators that follow the moves of a search.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"

// Layer sizes and quantisation, fixed by the network file format (version 2).
constexpr int NetInputs = 768;  // colour (own, other) x piece type x square
constexpr int NetHidden = 256;  // units of the shared first layer, per side
constexpr int NetQA = 255;      // first-layer scale; also where a hidden unit clips
// Output-layer scale: the file names it. A finer one keeps small output weights from losing
// much of themselves to rounding; no sum depends on it, only the final division.
constexpr int NetQB = 64;  // the scale of the first networks
constexpr uint32_t NetMaxQB = 1024;
constexpr uint32_t NetFormatVersion = 2;
constexpr size_t NetHeaderBytes = 64;
// Output buckets: a file has one, or one per piece count band (2-5 pieces, 6-9, ... 30-32).
constexpr int NetMaxBuckets = 8;
constexpr size_t netFileBytes(int buckets) {
    return NetHeaderBytes + 2 * NetInputs * NetHidden + 2 * NetHidden +
           size_t(buckets) * (2 * 2 * NetHidden + 4);
}
// What a file may switch on, in its header's flags word.
enum NetFlag : uint32_t {
    // Hidden units are squared after the clip (SCReLU) instead of used as they are.
    NetSquaredActivation = 1,
    // Each side sees the board reflected left to right while its own king stands on files
    // a-d, so that it always sees its king on files e-h.
    NetKingMirror = 2,
};
constexpr uint32_t NetKnownFlags = NetSquaredActivation | NetKingMirror;
// Limits that keep every integer sum of the engine inside its type: 32 pieces and the bias
// stay within int16, and the output's dot product within int32 in every lane of every path.
// With the plain clip a product is at most 255 * 16000 and 512 of them fit. With the squared
// one the kernels form h * w in 16 bits (255 * 127 < 32768) and then h * (h * w): a 32-bit
// lane of the SSE2 or NEON path sums 128 of those (128 * 255 * 32385 < 2^31), the AVX2 path
// 64; the lanes are added in 64 bits.
constexpr int NetFirstLayerLimit = 992;
constexpr int NetOutputWeightLimit = 16000;
constexpr int NetSquaredOutputWeightLimit = 127;
constexpr int32_t NetOutputBiasLimit = 1 << 24;
constexpr int NetMaxK = 10000;
// The network's score never leaves this range, so it stays clear of mate scores.
constexpr int NetScoreLimit = 10000;

// The weights as the kernels read them; every row starts on a cache line.
struct alignas(64) Network {
    int16_t w1[NetInputs][NetHidden];  // the H weights of each input
    int16_t b1[NetHidden];
    int16_t w2[NetMaxBuckets][2 * NetHidden];  // per bucket, the side to move's half first
    int32_t b2[NetMaxBuckets];
    int32_t buckets;  // 1 or NetMaxBuckets
    uint32_t flags;   // NetFlag bits
    int32_t k;        // centipawns per unit of the output
    int32_t qb;       // output-layer scale, 1..NetMaxQB
};

// The first layer's sums of one position, for White's view and for Black's.
struct alignas(64) Accumulator {
    int16_t view[2][NetHidden];
};

// Validates a network file held in memory and copies its weights into `net`. `size` bytes are
// at hand out of a file of `fileBytes` (a reader that stops at a network's size may have left
// some unread). False, with the reason, when the bytes are not a network this engine can use;
// `net` may then be partly overwritten.
bool readNetwork(const unsigned char* bytes, size_t size, uint64_t fileBytes, Network& net,
                 const char*& reason);
inline bool readNetwork(const unsigned char* bytes, size_t size, Network& net,
                        const char*& reason) {
    return readNetwork(bytes, size, size, net, reason);
}
// The checksum of the header: FNV-1a over the bytes after it.
uint32_t networkChecksum(const unsigned char* bytes, size_t size);
// Reads a network from a regular file (a relative path from the working directory). On
// failure `reason` (at least 160 bytes) says why; `net` is left as it was.
bool loadNetworkFile(const char* path, Network& net, char* reason, size_t reasonSize);

// The network compiled into the program, through the same validation as a file.
extern const unsigned char EmbeddedNetwork[];
extern const size_t EmbeddedNetworkSize;

// Whether `view` (White or Black) sees the board reflected left to right: with king mirroring,
// while its own king stands on files a-d.
inline bool viewMirrored(const Network& net, int ownKingSquare) {
    return (net.flags & NetKingMirror) && (ownKingSquare & 7) < 4;
}

// The input of a piece code on a square, as seen by `view` (White or Black): Black sees the
// board rank-mirrored with the colours exchanged, and a mirrored view files-reflected.
inline int networkInput(int view, int code, int square, bool mirrored) {
    constexpr int8_t PieceType[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 5};
    return ((code & 1) == view ? 0 : 384) + PieceType[code] * 64 +
           ((view ? square ^ 56 : square) ^ (mirrored ? 7 : 0));
}

// The output bucket of a position with that many pieces (kings included).
inline int networkBucket(const Network& net, int pieces) {
    if (net.buckets <= 1) return 0;
    const int b = (pieces - 2) / 4;
    return b < 0 ? 0 : b >= net.buckets ? net.buckets - 1 : b;
}

// The accumulator of a position from scratch.
void refreshAccumulator(const Network& net, const Position& p, Accumulator& acc);
// The accumulator after the move, from the one before it; `before` is the position the move
// is made from (castling, en passant, promotions and captures included). A king move that
// changes its side's mirroring rebuilds that side's view.
void updateAccumulator(const Network& net, const Accumulator& parent, Accumulator& child,
                       const Position& before, Move m);
// The network's score for the side to move, in centipawns within +-NetScoreLimit, of a
// position with that many pieces whose accumulator `acc` is.
int networkOutput(const Network& net, const Accumulator& acc, Color sideToMove, int pieces);
inline int networkOutput(const Network& net, const Accumulator& acc, const Position& p) {
    return networkOutput(net, acc, Color(p.sideToMove), popcount(occupancy(p)));
}

// The vector instructions the kernels use: chosen once at start-up from what the CPU offers,
// or forced by a tool. Every path computes exactly the same integers.
enum class SimdPath { Plain, Sse2, Avx2, Neon };
bool simdPathSupported(SimdPath path);
// False, changing nothing, when the CPU lacks the path.
bool forceSimdPath(SimdPath path);
SimdPath currentSimdPath();
const char* simdPathName(SimdPath path);
// "plain", "sse2", "avx2" or "neon"; false for anything else.
bool parseSimdPath(const char* name, SimdPath& path);
// Every vector path the CPU has against the plain one, on a position and after each of the
// moves: the accumulator from scratch, each updated one, and the outputs. Returns how many
// of them differ; the path in use is left as it was.
int compareSimdPaths(const Network& net, const Position& p, const Move* moves, int count);
