// Piece terms, computed on every evaluation that misses the cache.
#pragma once

#include "eval/material.h"
#include "eval/pawns.h"

// The term groups in the order they run; later groups read the attack sets earlier ones built.
enum PieceTermGroup : int {
    GroupPawnForks,
    GroupKnights,
    GroupBishops,
    GroupRooks,
    GroupQueens,
    GroupKingAttack,
    GroupPassedPawns,
    GroupPatterns,
    PieceTermGroupCount
};

// Each group's score for each side from that side's own view; the sum applies White's minus
// Black's.
struct PieceTermTrace {
    PackedScore group[PieceTermGroupCount][2];
};

// All piece terms from White's view. The trace, when given, receives every group.
PackedScore evaluatePieces(const Position& p, const MaterialEntry& m, const PawnEntry& pe,
                           PieceTermTrace* trace = nullptr);
