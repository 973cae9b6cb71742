// Precomputed attack and geometry tables, built once at start-up and read-only afterwards.
#pragma once

#include "board/types.h"

extern Bitboard SquareBit[64];
extern Bitboard FileMask[64];
extern Bitboard RankMask[64];
extern Bitboard DiagonalMask[64];
extern Bitboard AntiDiagonalMask[64];
extern Bitboard LineThrough[64][64];
extern Bitboard Between[64][64];
extern Bitboard AdjacentFiles[8];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard PawnAttacks[2][64];

extern Bitboard BishopMask[64];
extern Bitboard RookMask[64];
extern uint32_t BishopShift[64];
extern uint32_t RookShift[64];
extern uint32_t BishopOffset[64];
extern uint32_t RookOffset[64];
extern uint64_t BishopMagic[64];
extern uint64_t RookMagic[64];
constexpr int SliderTableSize = 107648;
extern Bitboard SliderAttacks[SliderTableSize];

extern Bitboard FrontSpan[2][64];
extern Bitboard AttackSpan[2][64];
extern Bitboard PassedPawnMask[2][64];
extern Bitboard PhalanxMask[64];
extern Bitboard KeySquares[2][64];

inline Bitboard BishopAttacks(int s, Bitboard occ) {
    return SliderAttacks[BishopOffset[s] +
                         (((occ & BishopMask[s]) * BishopMagic[s]) >> BishopShift[s])];
}
inline Bitboard RookAttacks(int s, Bitboard occ) {
    return SliderAttacks[RookOffset[s] + (((occ & RookMask[s]) * RookMagic[s]) >> RookShift[s])];
}
inline Bitboard QueenAttacks(int s, Bitboard occ) {
    return BishopAttacks(s, occ) | RookAttacks(s, occ);
}

// Attack set of a piece code from a square through an occupancy (leapers ignore it).
using AttackFunction = Bitboard (*)(int square, Bitboard occupancy);
extern AttackFunction PieceAttacks[16];

// King distance: the larger of the file and the rank difference.
inline int distance(int a, int b) {
    int df = fileOf(a) - fileOf(b), dr = rankOf(a) - rankOf(b);
    df = df < 0 ? -df : df;
    dr = dr < 0 ? -dr : dr;
    return df > dr ? df : dr;
}

void buildGeometry();      // SquareBit, line masks, LineThrough, Between, AdjacentFiles, leapers
void buildSliderTables();  // masks, magics and SliderAttacks; needs the geometry
void buildPawnMasks();     // FrontSpan, AttackSpan, PassedPawnMask, PhalanxMask, KeySquares
