#include "board/tables.h"

#include <cstring>

Bitboard SquareBit[64];
Bitboard FileMask[64];
Bitboard RankMask[64];
Bitboard DiagonalMask[64];
Bitboard AntiDiagonalMask[64];
Bitboard LineThrough[64][64];
Bitboard Between[64][64];
Bitboard AdjacentFiles[8];
Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard PawnAttacks[2][64];

Bitboard BishopMask[64];
Bitboard RookMask[64];
uint32_t BishopShift[64];
uint32_t RookShift[64];
uint32_t BishopOffset[64];
uint32_t RookOffset[64];
uint64_t BishopMagic[64];
uint64_t RookMagic[64];
Bitboard SliderAttacks[SliderTableSize];

Bitboard FrontSpan[2][64];
Bitboard AttackSpan[2][64];
Bitboard PassedPawnMask[2][64];
Bitboard PhalanxMask[64];
Bitboard KeySquares[2][64];

namespace {

Bitboard noAttacks(int, Bitboard) {
    return 0;
}
Bitboard whitePawnAttacks(int s, Bitboard) {
    return PawnAttacks[White][s];
}
Bitboard blackPawnAttacks(int s, Bitboard) {
    return PawnAttacks[Black][s];
}
Bitboard knightAttacks(int s, Bitboard) {
    return KnightAttacks[s];
}
Bitboard kingAttacks(int s, Bitboard) {
    return KingAttacks[s];
}

}  // namespace

// Rows 0 and 1 are never dispatched; they answer "no attacks" rather than hold a null entry.
AttackFunction PieceAttacks[16] = {noAttacks,     noAttacks,     whitePawnAttacks, blackPawnAttacks,
                                   knightAttacks, knightAttacks, BishopAttacks,    BishopAttacks,
                                   BishopAttacks, BishopAttacks, RookAttacks,      RookAttacks,
                                   QueenAttacks,  QueenAttacks,  kingAttacks,      kingAttacks};

namespace {

bool onBoard(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

// The set of squares reached by single steps (df, dr) from s that stay on the board.
Bitboard leaperTargets(int s, const int (*steps)[2], int count) {
    Bitboard b = 0;
    for (int i = 0; i < count; ++i) {
        int f = fileOf(s) + steps[i][0], r = rankOf(s) + steps[i][1];
        if (onBoard(f, r)) b |= Bitboard(1) << (8 * r + f);
    }
    return b;
}

constexpr int BishopDirections[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
constexpr int RookDirections[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// The reference walk: each ray runs up to and including the first occupied square.
Bitboard slidingAttacks(int s, Bitboard occ, const int (*dirs)[2]) {
    Bitboard attacks = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1];
        while (onBoard(f, r)) {
            Bitboard b = Bitboard(1) << (8 * r + f);
            attacks |= b;
            if (occ & b) break;
            f += dirs[d][0];
            r += dirs[d][1];
        }
    }
    return attacks;
}

// Small deterministic generator for the multiplier search (xorshift64*).
struct MagicRandom {
    uint64_t state;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Multipliers with few bits set map the masks' high bits best.
    uint64_t sparse() { return next() & next() & next(); }
};

// Multipliers found once by the fallback search below with its fixed seed; storing them saves
// that search at every start. Each is checked while its block is filled, so a wrong entry
// would only cost a search, never a wrong attack set.
constexpr uint64_t StoredBishopMagics[64] = {
    0x10102002004A1420ull, 0x8020040400584008ull, 0x10510800811201C8ull, 0x5204042080000088ull,
    0x2204106880000002ull, 0x1401042004000000ull, 0x0400880410042004ull, 0x0028208200A02020ull,
    0x1500241990010E00ull, 0x8001200182020A40ull, 0x40004101030B0000ull, 0x8002041042000100ull,
    0x4010011041020038ull, 0x0000010421044000ull, 0x1500210808020A00ull, 0x8000088400880520ull,
    0x0405004010040100ull, 0x1005823210040108ull, 0x2708008102040011ull, 0x4048200404009100ull,
    0x0018104101400024ull, 0x0003000601190101ull, 0x8004803108491000ull, 0x8014241200820800ull,
    0x0006E080100C3040ull, 0x0501044A11041800ull, 0x9020300008004045ull, 0x0894080000220040ull,
    0x1001010083104000ull, 0x5004030040900080ull, 0x000400422C012400ull, 0x0002128698404812ull,
    0x1010108404900440ull, 0x0928021182084100ull, 0x2006080409020024ull, 0x1010202020180080ull,
    0xA010008200202200ull, 0x2098015100019004ull, 0x0002041440810811ull, 0x802A02020000B098ull,
    0x0009015090004060ull, 0x4000821082081001ull, 0x0100210040420800ull, 0x0800004010488A00ull,
    0x2000081104004040ull, 0x4C8E029015000082ull, 0x0420340322224842ull, 0x1298260043400210ull,
    0x0000822802400008ull, 0x00008A0101600000ull, 0x3040003412080021ull, 0x3040290220884800ull,
    0x4A1500401041004Aull, 0x8010200282020781ull, 0x0020203142209091ull, 0x0070300600902110ull,
    0x0040808800B62048ull, 0x0000810400C44420ull, 0x00080400440C0441ull, 0x8340080020840411ull,
    0x0000000104208200ull, 0x0000800810D00080ull, 0x0400530411080200ull, 0x4040702400932244ull};
constexpr uint64_t StoredRookMagics[64] = {
    0x1080004008801020ull, 0x0840092002C03000ull, 0x1900200010400900ull, 0x0880100008000480ull,
    0x4200100420080200ull, 0x8100020100080400ull, 0x0200040110886200ull, 0x0200008040220411ull,
    0x0404800084400220ull, 0x0000401000402000ull, 0x0086001081220440ull, 0x0408800800100280ull,
    0x000A001201040820ull, 0x8848800200840080ull, 0x4001000100040200ull, 0x0442000102105084ull,
    0x9080010020804100ull, 0x0040404000201009ull, 0x0000808010002009ull, 0x2200090021D00100ull,
    0x0008008008040080ull, 0x0004004002010040ull, 0x0011040008015042ull, 0x00000A0001768104ull,
    0x0000800080204009ull, 0x2010004140002001ull, 0x9800200280100080ull, 0x1000100080080080ull,
    0x0442000A00049020ull, 0x2100040080020080ull, 0x0800120400900148ull, 0x0010040A00128541ull,
    0x2800804000800030ull, 0x1010002000400041ull, 0x4000200011004100ull, 0x0610008410800800ull,
    0x0400802402800800ull, 0xC100020080800400ull, 0x0002000802000401ull, 0x0182085882000401ull,
    0x0220204000808000ull, 0x2860100040024022ull, 0x0001002004110040ull, 0x99101042000A0020ull,
    0x0004080004008080ull, 0x0010040002008080ull, 0x2012004881020004ull, 0x8300842444820011ull,
    0x0088403882010200ull, 0x0820400080210100ull, 0x0110910040A00300ull, 0x0801100280080480ull,
    0x0242009008200600ull, 0x1002000489500200ull, 0x0040800200010080ull, 0x0091800041000080ull,
    0x0000209300488001ull, 0x04C1002414824001ull, 0x020020000B001041ull, 0x7000100004200901ull,
    0x8002002004100802ull, 0x30010002084C0007ull, 0x0888221800813004ull, 0x4000002840840112ull};

// Fills one square's block of SliderAttacks with a multiplier, or finds one when the given
// one maps two different attack sets onto one entry. Stale entries of earlier candidates
// are told apart from the current candidate's by a per-try stamp.
uint64_t fillSliderBlock(int s, Bitboard mask, uint32_t shift, uint32_t offset,
                         const int (*dirs)[2], uint64_t magic, MagicRandom& rng) {
    static Bitboard occupancies[4096], attacks[4096];
    static uint32_t stamps[4096];
    static uint32_t stamp = 0;

    int size = 0;
    Bitboard occ = 0;
    do {  // every subset of the mask, by the carry-rippler enumeration
        occupancies[size] = occ;
        attacks[size] = slidingAttacks(s, occ, dirs);
        ++size;
        occ = (occ - mask) & mask;
    } while (occ);

    Bitboard* block = SliderAttacks + offset;
    for (;; magic = rng.sparse()) {
        if (popcount((mask * magic) & 0xFF00000000000000ull) < 6) continue;
        ++stamp;
        bool ok = true;
        for (int i = 0; i < size && ok; ++i) {
            const uint32_t index = uint32_t((occupancies[i] * magic) >> shift);
            if (stamps[index] != stamp) {
                stamps[index] = stamp;
                block[index] = attacks[i];
            } else if (block[index] != attacks[i]) {
                ok = false;
            }
        }
        if (ok) return magic;
    }
}

}  // namespace

void buildGeometry() {
    for (int s = 0; s < 64; ++s) {
        int f = fileOf(s), r = rankOf(s);
        SquareBit[s] = Bitboard(1) << s;
        FileMask[s] = 0x0101010101010101ull << f;
        RankMask[s] = 0xFFull << (8 * r);
        DiagonalMask[s] =
            f > r ? 0x8040201008040201ull >> (8 * (f - r)) : 0x8040201008040201ull << (8 * (r - f));
        int anti = 7 - f - r;
        AntiDiagonalMask[s] =
            anti > 0 ? 0x0102040810204080ull >> (8 * anti) : 0x0102040810204080ull << (8 * -anti);
    }

    std::memset(LineThrough, 0, sizeof LineThrough);
    std::memset(Between, 0, sizeof Between);
    std::memset(AdjacentFiles, 0, sizeof AdjacentFiles);
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            Bitboard line = (FileMask[a] & FileMask[b]) | (RankMask[a] & RankMask[b]) |
                            (DiagonalMask[a] & DiagonalMask[b]) |
                            (AntiDiagonalMask[a] & AntiDiagonalMask[b]);
            LineThrough[a][b] = line;
            if (line) {
                // Squares min..max-1 of the line, minus min itself.
                Bitboard span = line & ((AllSquares << b) ^ (AllSquares << a));
                Between[a][b] = span & (span - 1);
            }
            int df = fileOf(a) - fileOf(b);
            if (df == 1 || df == -1) AdjacentFiles[fileOf(a)] |= SquareBit[b];
        }
    }

    static constexpr int knightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                              {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static constexpr int kingSteps[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                            {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static constexpr int whitePawnSteps[2][2] = {{-1, 1}, {1, 1}};
    static constexpr int blackPawnSteps[2][2] = {{-1, -1}, {1, -1}};
    for (int s = 0; s < 64; ++s) {
        KnightAttacks[s] = leaperTargets(s, knightSteps, 8);
        KingAttacks[s] = leaperTargets(s, kingSteps, 8);
        PawnAttacks[White][s] = leaperTargets(s, whitePawnSteps, 2);
        PawnAttacks[Black][s] = leaperTargets(s, blackPawnSteps, 2);
    }
}

void buildSliderTables() {
    constexpr Bitboard FileA = 0x0101010101010101ull, FileH = FileA << 7;
    constexpr Bitboard Rank1 = 0xFFull, Rank8 = Rank1 << 56;
    for (int s = 0; s < 64; ++s) {
        BishopMask[s] = slidingAttacks(s, 0, BishopDirections) & 0x007E7E7E7E7E7E00ull;
        Bitboard rim = 0;
        if (fileOf(s) != 0) rim |= FileA;
        if (fileOf(s) != 7) rim |= FileH;
        if (rankOf(s) != 0) rim |= Rank1;
        if (rankOf(s) != 7) rim |= Rank8;
        RookMask[s] = slidingAttacks(s, 0, RookDirections) & ~rim;
        BishopShift[s] = uint32_t(64 - popcount(BishopMask[s]));
        RookShift[s] = uint32_t(64 - popcount(RookMask[s]));
    }

    uint32_t offset = 0;
    for (int s = 0; s < 64; ++s) {
        BishopOffset[s] = offset;
        offset += 1u << (64 - BishopShift[s]);
    }
    for (int s = 0; s < 64; ++s) {
        RookOffset[s] = offset;
        offset += 1u << (64 - RookShift[s]);
    }

    // A fixed seed keeps any fallback search deterministic.
    MagicRandom rng{0x9E3779B97F4A7C15ull};
    for (int s = 0; s < 64; ++s)
        BishopMagic[s] = fillSliderBlock(s, BishopMask[s], BishopShift[s], BishopOffset[s],
                                         BishopDirections, StoredBishopMagics[s], rng);
    for (int s = 0; s < 64; ++s)
        RookMagic[s] = fillSliderBlock(s, RookMask[s], RookShift[s], RookOffset[s], RookDirections,
                                       StoredRookMagics[s], rng);
}

void buildPawnMasks() {
    for (int a = 0; a < 64; ++a) {
        FrontSpan[White][a] = FrontSpan[Black][a] = 0;
        AttackSpan[White][a] = AttackSpan[Black][a] = 0;
        for (int b = 0; b < 64; ++b) {
            if (a == b) continue;
            int df = fileOf(a) - fileOf(b);
            if (df == 0 && rankOf(b) > rankOf(a)) FrontSpan[White][a] |= SquareBit[b];
            if (df == 0 && rankOf(b) < rankOf(a)) FrontSpan[Black][a] |= SquareBit[b];
            if ((df == 1 || df == -1) && rankOf(b) > rankOf(a))
                AttackSpan[White][a] |= SquareBit[b];
            if ((df == 1 || df == -1) && rankOf(b) < rankOf(a))
                AttackSpan[Black][a] |= SquareBit[b];
        }
    }

    for (int s = 0; s < 64; ++s) {
        PassedPawnMask[White][s] = FrontSpan[White][s] | AttackSpan[White][s];
        PassedPawnMask[Black][s] = FrontSpan[Black][s] | AttackSpan[Black][s];
        int r = rankOf(s);
        PhalanxMask[s] = (r >= 1 && r <= 6) ? PawnAttacks[White][s - 8] : 0;
    }

    for (int s = 0; s < 64; ++s) {
        int f = fileOf(s), r = rankOf(s);
        Bitboard k = 0;
        if (r >= 1 && r <= 6) {
            if (f >= 1 && f <= 6) {
                const Bitboard oneAhead = Bitboard(7) << (s + 7);
                if (r <= 4)
                    k = Bitboard(7) << (s + 15);
                else if (r == 5)
                    k = oneAhead | (Bitboard(7) << (s + 15));
                else
                    k = SquareBit[s - 1] | SquareBit[s + 1] | oneAhead;
            } else {
                int side = f == 0 ? 1 : 6;  // the b- or g-file
                if (r >= 4) k |= SquareBit[48 + side];
                if (r >= 5) k |= SquareBit[56 + side];
            }
        }
        KeySquares[White][s] = k;
    }
    for (int s = 0; s < 64; ++s) {
        Bitboard mirrored = 0;
        for (Bitboard b = KeySquares[White][s ^ 56]; b;) mirrored |= SquareBit[popLsb(b) ^ 56];
        KeySquares[Black][s] = mirrored;
    }
}
