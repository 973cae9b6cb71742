// Material table: balance, game phase, endgame scale and flags per material configuration.
#pragma once

#include "board/position.h"

enum MaterialFlag : uint8_t { AttackKing = 1, WrongBishop = 4, LonePawn = 8 };

struct MaterialEntry {
    uint32_t check;       // upper half of the material key stored here
    int16_t material;     // White's balance, already scaled
    uint8_t leadingSide;  // 1 White, 2 Black (also on an exact tie)
    uint8_t scale;        // 0..128 for the leading side; 0 is a dead draw
    uint8_t phase;        // 0 (bare end game) .. 32 (all pieces on)
    uint8_t flags[2];     // MaterialFlag bits, by colour
};

// One side's piece counts, as materialScale reads them.
struct SideCounts {
    int pawns, knights, lightBishops, darkBishops, rooks, queens;
};

constexpr int MaterialTableSize = 1024;
using MaterialTable = MaterialEntry[MaterialTableSize];

SideCounts countMaterial(const Position& p, Color side);
// White's material balance before scaling, blended by the phase.
int materialBalance(const SideCounts& white, const SideCounts& black);
// How well `side` can win with its material against `other`: 128 fully, 0 not at all.
int materialScale(const SideCounts& side, const SideCounts& other);
// The (mg, eg) parts of a score weighed by the game phase; rounds towards minus infinity.
inline int blendPhase(PackedScore s, int phase) {
    return (unpackMg(s) * phase + unpackEg(s) * (32 - phase)) >> 5;
}

void computeMaterial(const Position& p, MaterialEntry& e);
// The table's entry for the position's material, computed first when the entry is another's.
const MaterialEntry& probeMaterial(const Position& p, MaterialTable& table);

// Endgame rules that need a few squares; each returns a scale the caller takes the minimum of.
int wrongBishopScale(const Position& p, const MaterialEntry& e);
int kpkScale(const Position& p, const MaterialEntry& e);
