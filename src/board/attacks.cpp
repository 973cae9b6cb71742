#include "board/attacks.h"

Bitboard sliderAttackersTo(const Position& p, Bitboard occ, int s, Color attacker) {
    return ((diagonalSliders(p, attacker) & BishopAttacks(s, occ)) |
            (orthogonalSliders(p, attacker) & RookAttacks(s, occ))) &
           occ;
}

Bitboard pinnedPieces(const Position& p, Color side) {
    const int k = p.kingSquare[side];
    const Bitboard occ = occupancy(p);
    const Bitboard blockers = (RookAttacks(k, occ) | BishopAttacks(k, occ)) & p.bitboards[side];
    const Bitboard occ2 = occ ^ blockers;
    Bitboard pinned = 0;
    for (Bitboard b = BishopAttacks(k, occ2) & diagonalSliders(p, side ^ 1); b;)
        pinned |= Between[k][popLsb(b)] & blockers;
    for (Bitboard b = RookAttacks(k, occ2) & orthogonalSliders(p, side ^ 1); b;)
        pinned |= Between[k][popLsb(b)] & blockers;
    return pinned;
}

bool isLegalByMaking(Position& p, Move m) {
    const Color us = Color(p.sideToMove);
    UndoInfo u;
    makeMove(p, u, m);
    const bool attacked = isSquareAttacked(p, p.kingSquare[us], us ^ 1);
    unmakeMove(p, u, m);
    return !attacked;
}

bool givesCheck(Position& p, Move m) {
    const Color us = Color(p.sideToMove), them = us ^ 1;
    const int from = moveFrom(m), to = moveTo(m), kind = moveKind(m);
    const Bitboard occ = occupancy(p);
    const Bitboard enemyKing = p.bitboards[WhiteKing + them];
    if (kind == KindNormal || kind == KindDoublePush) {
        if (PieceAttacks[p.board[from]](to, occ) & enemyKing) return true;
        const int k = p.kingSquare[them];
        const Bitboard occ2 = (occ ^ SquareBit[from]) | SquareBit[to];
        return (BishopAttacks(k, occ2) & diagonalSliders(p, us)) ||
               (RookAttacks(k, occ2) & orthogonalSliders(p, us));
    }
    if (kind == KindCastle) {
        // Only the rook can check, from its destination, through the board after castling.
        const int base = us == White ? 0 : 56;
        if (to != base + 6 && to != base + 2) return false;
        const CastleRook rook = castleRookFor(p.castleRooks, to);
        const Bitboard after =
            (occ ^ SquareBit[from] ^ SquareBit[rook.from]) | SquareBit[to] | SquareBit[rook.to];
        return RookAttacks(rook.to, after) & enemyKing;
    }
    UndoInfo u;
    makeMove(p, u, m);
    const bool check = isSquareAttacked(p, p.kingSquare[them], us);
    unmakeMove(p, u, m);
    return check;
}
