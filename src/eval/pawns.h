// Pawn table: pawn structure, king shelter and passed-pawn files per pawns-kings-castling key.
#pragma once

#include "board/position.h"

struct PawnEntry {
    uint32_t check;          // upper half of the probe key stored here
    PackedScore score;       // pawn structure from White's view
    uint8_t shelter[2];      // king-shelter penalty of each king, by colour
    uint8_t passedFiles[2];  // bit f: file f holds a passed pawn of that colour
    uint8_t pawnFiles[2];    // bit f: file f holds a pawn of that colour
};

constexpr int PawnTableSize = 16384;
using PawnTable = PawnEntry[PawnTableSize];

uint64_t pawnProbeKey(const Position& p);
void evaluatePawns(const Position& p, PawnEntry& e);
// The table's entry for the position's pawns and kings, evaluated first when it is another's.
const PawnEntry& probePawns(const Position& p, PawnTable& table);
// Shelter penalty of `side`'s king if it stood on `kingSq`.
int kingShelter(const Position& p, Color side, int kingSq);

// Squares attacked by a set of `Us`'s pawns (no wrap between the a- and h-files).
template <Color Us>
constexpr Bitboard pawnAttackSet(Bitboard pawns) {
    constexpr Bitboard NotFileA = ~0x0101010101010101ull, NotFileH = ~0x8080808080808080ull;
    return Us == White ? ((pawns & NotFileA) << 7) | ((pawns & NotFileH) << 9)
                       : ((pawns & NotFileA) >> 9) | ((pawns & NotFileH) >> 7);
}

// A square's rank seen from `Us`'s side: 0 is its back rank.
template <Color Us>
constexpr int relativeRank(int s) {
    return Us == White ? rankOf(s) : 7 - rankOf(s);
}
