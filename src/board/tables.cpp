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

// Finds a multiplier for one square and fills its block of SliderAttacks. Stale entries of
// earlier failed candidates are told apart from this candidate's by a per-try stamp.
uint64_t findMagic(Bitboard mask, uint32_t shift, uint32_t offset, const int (*dirs)[2], int s,
                   MagicRandom& rng) {
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
    for (;;) {
        uint64_t magic = rng.sparse();
        if (popcount((mask * magic) & 0xFF00000000000000ull) < 6) continue;
        ++stamp;
        bool ok = true;
        for (int i = 0; i < size && ok; ++i) {
            uint32_t index = uint32_t((occupancies[i] * magic) >> shift);
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

    // A fixed seed makes every start build the same multipliers.
    MagicRandom rng{0x9E3779B97F4A7C15ull};
    for (int s = 0; s < 64; ++s)
        BishopMagic[s] =
            findMagic(BishopMask[s], BishopShift[s], BishopOffset[s], BishopDirections, s, rng);
    for (int s = 0; s < 64; ++s)
        RookMagic[s] = findMagic(RookMask[s], RookShift[s], RookOffset[s], RookDirections, s, rng);
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
                Bitboard twoAhead = Bitboard(7) << (s + 15);
                Bitboard oneAhead = Bitboard(7) << (s + 7);
                if (r <= 4)
                    k = twoAhead;
                else if (r == 5)
                    k = oneAhead | twoAhead;
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
