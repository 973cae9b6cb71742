#include "eval/network.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "eval/network_kernels.h"
#include "platform/platform.h"

namespace PlainKernels {

void rows(int16_t* dst, const int16_t* base, const int16_t* const* add, int addCount,
          const int16_t* const* sub, int subCount) {
    for (int j = 0; j < NetHidden; ++j) {
        // Unsigned arithmetic wraps as the vector instructions do.
        uint16_t v = uint16_t(base[j]);
        for (int a = 0; a < addCount; ++a) v = uint16_t(v + uint16_t(add[a][j]));
        for (int s = 0; s < subCount; ++s) v = uint16_t(v - uint16_t(sub[s][j]));
        dst[j] = int16_t(v);
    }
}

int32_t dot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    int32_t sum = 0;
    for (int j = 0; j < NetHidden; ++j) {
        const int a = stm[j] < 0 ? 0 : stm[j] > NetQA ? NetQA : stm[j];
        const int b = other[j] < 0 ? 0 : other[j] > NetQA ? NetQA : other[j];
        sum += a * w[j] + b * w[NetHidden + j];
    }
    return sum;
}

int64_t squaredDot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    int64_t sum = 0;
    for (int j = 0; j < NetHidden; ++j) {
        const int64_t a = stm[j] < 0 ? 0 : stm[j] > NetQA ? NetQA : stm[j];
        const int64_t b = other[j] < 0 ? 0 : other[j] > NetQA ? NetQA : other[j];
        sum += a * a * w[j] + b * b * w[NetHidden + j];
    }
    return sum;
}

}  // namespace PlainKernels

namespace {

#ifdef TOLVO_X86_KERNELS
bool cpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

// The best path, asked of the CPU once.
SimdPath bestSimdPath() {
#if defined(TOLVO_X86_KERNELS)
    return cpuHasAvx2() ? SimdPath::Avx2 : SimdPath::Sse2;
#elif defined(TOLVO_NEON_KERNELS)
    return SimdPath::Neon;
#else
    return SimdPath::Plain;
#endif
}
SimdPath ActivePath = bestSimdPath();

inline void rows(int16_t* dst, const int16_t* base, const int16_t* const* add, int addCount,
                 const int16_t* const* sub, int subCount) {
    switch (ActivePath) {
#ifdef TOLVO_X86_KERNELS
        case SimdPath::Avx2:
            return Avx2Kernels::rows(dst, base, add, addCount, sub, subCount);
        case SimdPath::Sse2:
            return Sse2Kernels::rows(dst, base, add, addCount, sub, subCount);
#endif
#ifdef TOLVO_NEON_KERNELS
        case SimdPath::Neon:
            return NeonKernels::rows(dst, base, add, addCount, sub, subCount);
#endif
        default:
            return PlainKernels::rows(dst, base, add, addCount, sub, subCount);
    }
}

inline int32_t dot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    switch (ActivePath) {
#ifdef TOLVO_X86_KERNELS
        case SimdPath::Avx2:
            return Avx2Kernels::dot(stm, other, w);
        case SimdPath::Sse2:
            return Sse2Kernels::dot(stm, other, w);
#endif
#ifdef TOLVO_NEON_KERNELS
        case SimdPath::Neon:
            return NeonKernels::dot(stm, other, w);
#endif
        default:
            return PlainKernels::dot(stm, other, w);
    }
}

inline int64_t squaredDot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    switch (ActivePath) {
#ifdef TOLVO_X86_KERNELS
        case SimdPath::Avx2:
            return Avx2Kernels::squaredDot(stm, other, w);
        case SimdPath::Sse2:
            return Sse2Kernels::squaredDot(stm, other, w);
#endif
#ifdef TOLVO_NEON_KERNELS
        case SimdPath::Neon:
            return NeonKernels::squaredDot(stm, other, w);
#endif
        default:
            return PlainKernels::squaredDot(stm, other, w);
    }
}

uint32_t readU32(const unsigned char* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
int16_t readI16(const unsigned char* b) {
    return int16_t(uint16_t(b[0] | b[1] << 8));
}

// Copies n little-endian int16 values; false when one lies beyond the limit.
bool readWeights(const unsigned char*& at, int16_t* out, size_t n, int limit) {
    bool within = true;
    for (size_t i = 0; i < n; ++i, at += 2) {
        out[i] = readI16(at);
        within &= out[i] >= -limit && out[i] <= limit;
    }
    return within;
}

}  // namespace

bool simdPathSupported(SimdPath path) {
    switch (path) {
        case SimdPath::Plain:
            return true;
#ifdef TOLVO_X86_KERNELS
        case SimdPath::Sse2:
            return true;
        case SimdPath::Avx2:
            return cpuHasAvx2();
#endif
#ifdef TOLVO_NEON_KERNELS
        case SimdPath::Neon:
            return true;
#endif
        default:
            return false;
    }
}

bool forceSimdPath(SimdPath path) {
    if (!simdPathSupported(path)) return false;
    ActivePath = path;
    return true;
}

SimdPath currentSimdPath() {
    return ActivePath;
}

const char* simdPathName(SimdPath path) {
    switch (path) {
        case SimdPath::Sse2:
            return "sse2";
        case SimdPath::Avx2:
            return "avx2";
        case SimdPath::Neon:
            return "neon";
        default:
            return "plain";
    }
}

bool parseSimdPath(const char* name, SimdPath& path) {
    for (SimdPath p : {SimdPath::Plain, SimdPath::Sse2, SimdPath::Avx2, SimdPath::Neon}) {
        if (std::strcmp(name, simdPathName(p)) == 0) {
            path = p;
            return true;
        }
    }
    return false;
}

uint32_t networkChecksum(const unsigned char* bytes, size_t size) {
    uint32_t h = 2166136261u;
    for (size_t i = NetHeaderBytes; i < size; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

bool readNetwork(const unsigned char* bytes, size_t size, uint64_t fileBytes, Network& net,
                 const char*& reason) {
    if (size < 8 || std::memcmp(bytes, "TOLVONET", 8) != 0) {
        reason = "not a network file (wrong magic)";
        return false;
    }
    if (size < NetHeaderBytes) {
        reason = "truncated header";
        return false;
    }
    const uint32_t version = readU32(bytes + 8);
    if (version != NetFormatVersion) {
        // The file's version, so that an old network is told apart from a damaged file.
        reason = version == 1   ? "format version 1 (this engine reads version 2)"
                 : version == 0 ? "format version 0 (this engine reads version 2)"
                                : "unsupported format version (this engine reads version 2)";
        return false;
    }
    const uint32_t buckets = readU32(bytes + 20);
    if (readU32(bytes + 12) != NetInputs || readU32(bytes + 16) != NetHidden ||
        (buckets != 1 && buckets != NetMaxBuckets)) {
        reason = "layer sizes are not 768, 256 and 1 or 8 outputs";
        return false;
    }
    const uint32_t k = readU32(bytes + 24);
    const uint32_t qb = readU32(bytes + 32);
    if (readU32(bytes + 28) != NetQA || qb < 1 || qb > NetMaxQB) {
        reason = "quantisation is not QA 255 and QB 1..1024";
        return false;
    }
    if (k < 1 || k > NetMaxK) {
        reason = "K out of range (1..10000)";
        return false;
    }
    const uint32_t flags = readU32(bytes + 40);
    if (flags & ~NetKnownFlags) {
        reason = "unknown flags";
        return false;
    }
    for (size_t i = 44; i < NetHeaderBytes; ++i) {
        if (bytes[i] != 0) {
            reason = "reserved header bytes are not zero";
            return false;
        }
    }
    const size_t expected = netFileBytes(int(buckets));
    if (fileBytes != expected || size != expected) {
        reason = fileBytes > expected
                     ? (buckets == 1 ? "too long (a network of 1 output is 394820 bytes)"
                                     : "too long (a network of 8 outputs is 402016 bytes)")
                     : (buckets == 1 ? "truncated (a network of 1 output is 394820 bytes)"
                                     : "truncated (a network of 8 outputs is 402016 bytes)");
        return false;
    }
    if (networkChecksum(bytes, size) != readU32(bytes + 36)) {
        reason = "checksum mismatch";
        return false;
    }
    const unsigned char* at = bytes + NetHeaderBytes;
    const int outputLimit =
        flags & NetSquaredActivation ? NetSquaredOutputWeightLimit : NetOutputWeightLimit;
    bool within = readWeights(at, &net.w1[0][0], size_t(NetInputs) * NetHidden, NetFirstLayerLimit);
    within &= readWeights(at, net.b1, NetHidden, NetFirstLayerLimit);
    within &= readWeights(at, &net.w2[0][0], buckets * 2 * NetHidden, outputLimit);
    for (uint32_t b = 0; b < buckets; ++b, at += 4) {
        net.b2[b] = int32_t(readU32(at));
        within &= net.b2[b] >= -NetOutputBiasLimit && net.b2[b] <= NetOutputBiasLimit;
    }
    // Unused buckets are never read; zeroes keep the record fully defined.
    for (int b = int(buckets); b < NetMaxBuckets; ++b) {
        for (int16_t& w : net.w2[b]) w = 0;
        net.b2[b] = 0;
    }
    net.buckets = int32_t(buckets);
    net.flags = flags;
    net.k = int32_t(k);
    net.qb = int32_t(qb);
    if (!within) {
        reason = "weights beyond the limits (a sum could overflow)";
        return false;
    }
    return true;
}

bool loadNetworkFile(const char* path, Network& net, char* reason, size_t reasonSize) {
    constexpr size_t Largest = netFileBytes(NetMaxBuckets);
    std::vector<unsigned char> bytes(Largest);
    uint64_t fileBytes = 0;
    size_t got = 0;
    if (const char* failure = readRegularFile(path, bytes.data(), bytes.size(), fileBytes, got)) {
        std::snprintf(reason, reasonSize, "%s", failure);
        return false;
    }
    const auto loaded = std::make_unique<Network>();
    const char* why = nullptr;
    if (!readNetwork(bytes.data(), got, fileBytes, *loaded, why)) {
        if (fileBytes != netFileBytes(1) && fileBytes != netFileBytes(NetMaxBuckets))
            std::snprintf(reason, reasonSize, "%s; the file has %llu bytes", why,
                          static_cast<unsigned long long>(fileBytes));
        else
            std::snprintf(reason, reasonSize, "%s", why);
        return false;
    }
    net = *loaded;
    return true;
}

namespace {

// One view's sums from scratch over the pieces given as (code, square) pairs.
void refreshView(const Network& net, int view, bool mirrored, const int (*pieces)[2], int count,
                 int16_t* out) {
    const int16_t* rowsOf[32];
    if (count > 32) count = 32;
    for (int i = 0; i < count; ++i)
        rowsOf[i] = net.w1[networkInput(view, pieces[i][0], pieces[i][1], mirrored)];
    rows(out, net.b1, rowsOf, count, nullptr, 0);
}

}  // namespace

void refreshAccumulator(const Network& net, const Position& p, Accumulator& acc) {
    int pieces[32][2];
    int count = 0;
    for (Bitboard b = occupancy(p); b && count < 32; ++count) {
        const int s = popLsb(b);
        pieces[count][0] = p.board[s];
        pieces[count][1] = s;
    }
    for (int view = White; view <= Black; ++view)
        refreshView(net, view, viewMirrored(net, p.kingSquare[view]), pieces, count,
                    acc.view[view]);
}

void updateAccumulator(const Network& net, const Accumulator& parent, Accumulator& child,
                       const Position& before, Move m) {
    const int from = moveFrom(m), to = moveTo(m), kind = moveKind(m);
    const int mover = before.board[from];
    // (code, square) of the pieces leaving and entering squares.
    int gone[3][2], come[2][2];
    int goneCount = 1, comeCount = 1;
    gone[0][0] = mover;
    gone[0][1] = from;
    come[0][0] = isPromotion(m) ? promotionPiece(m) : mover;
    come[0][1] = to;
    if (kind == KindCastle) {
        const CastleRook rook = castleRookFor(before.castleRooks, to);
        const int rookCode = WhiteRook + (mover & 1);
        gone[1][0] = come[1][0] = rookCode;
        gone[1][1] = rook.from;
        come[1][1] = rook.to;
        goneCount = comeCount = 2;
    } else if (kind == KindEnPassant) {
        gone[1][0] = BlackPawn - (mover & 1);
        gone[1][1] = (mover & 1) == White ? to - 8 : to + 8;
        goneCount = 2;
    } else if (before.board[to] != Empty) {  // never for a castling: its rook is no victim
        gone[1][0] = before.board[to];
        gone[1][1] = to;
        goneCount = 2;
    }
    const bool kingMoves = isKing(mover);
    for (int view = White; view <= Black; ++view) {
        const bool mirrored = viewMirrored(net, before.kingSquare[view]);
        if (kingMoves && (mover & 1) == view && viewMirrored(net, come[0][1]) != mirrored) {
            // The king crossed between the d- and e-files: every input of its side's view
            // changes, so the view is summed afresh over the pieces after the move.
            int pieces[34][2];
            int count = 0;
            for (Bitboard b = occupancy(before); b;) {
                const int s = popLsb(b);
                bool left = false;
                for (int i = 0; i < goneCount; ++i) left |= gone[i][1] == s;
                if (left || count == 32) continue;
                pieces[count][0] = before.board[s];
                pieces[count][1] = s;
                ++count;
            }
            for (int i = 0; i < comeCount; ++i, ++count) {
                pieces[count][0] = come[i][0];
                pieces[count][1] = come[i][1];
            }
            refreshView(net, view, !mirrored, pieces, count, child.view[view]);
            continue;
        }
        const int16_t* add[2];
        const int16_t* sub[3];
        for (int i = 0; i < comeCount; ++i)
            add[i] = net.w1[networkInput(view, come[i][0], come[i][1], mirrored)];
        for (int i = 0; i < goneCount; ++i)
            sub[i] = net.w1[networkInput(view, gone[i][0], gone[i][1], mirrored)];
        rows(child.view[view], parent.view[view], add, comeCount, sub, goneCount);
    }
}

int networkOutput(const Network& net, const Accumulator& acc, Color sideToMove, int pieces) {
    const int us = int(sideToMove);
    const int bucket = networkBucket(net, pieces);
    const int16_t* w = net.w2[bucket];
    // Both sums are in units of QA * QB: the squared one carries a QA too many.
    const int64_t sum = net.flags & NetSquaredActivation
                            ? squaredDot(acc.view[us], acc.view[us ^ 1], w) / NetQA
                            : int64_t(dot(acc.view[us], acc.view[us ^ 1], w));
    const int64_t score = (sum + net.b2[bucket]) * net.k / (int64_t(NetQA) * net.qb);
    return int(score > NetScoreLimit    ? NetScoreLimit
               : score < -NetScoreLimit ? -NetScoreLimit
                                        : score);
}

int compareSimdPaths(const Network& net, const Position& p, const Move* moves, int count) {
    const SimdPath chosen = ActivePath;
    const auto work = std::make_unique<Accumulator[]>(4);
    Accumulator &plain = work[0], &plainChild = work[1], &vector = work[2], &vectorChild = work[3];
    auto differ = [](const Accumulator& a, const Accumulator& b) {
        return std::memcmp(&a, &b, sizeof a) != 0;
    };
    int mismatches = 0;
    for (SimdPath path : {SimdPath::Sse2, SimdPath::Avx2, SimdPath::Neon}) {
        if (!simdPathSupported(path)) continue;
        ActivePath = SimdPath::Plain;
        refreshAccumulator(net, p, plain);
        const int plainScore = networkOutput(net, plain, p);
        ActivePath = path;
        refreshAccumulator(net, p, vector);
        mismatches += differ(plain, vector) || networkOutput(net, vector, p) != plainScore;
        for (int i = 0; i < count; ++i) {
            // The child's score is read with the parent's piece count: what matters here is
            // that every path agrees.
            const Color them = Color(p.sideToMove ^ 1);
            const int pieces = popcount(occupancy(p));
            ActivePath = SimdPath::Plain;
            updateAccumulator(net, plain, plainChild, p, moves[i]);
            const int plainChildScore = networkOutput(net, plainChild, them, pieces);
            ActivePath = path;
            updateAccumulator(net, vector, vectorChild, p, moves[i]);
            mismatches += differ(plainChild, vectorChild) ||
                          networkOutput(net, vectorChild, them, pieces) != plainChildScore;
        }
    }
    ActivePath = chosen;
    return mismatches;
}
