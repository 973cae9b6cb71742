// Attack queries: attacked squares, attackers, pins, legality and checks of a move.
#pragma once

#include "board/position.h"
#include "board/tables.h"

inline bool isSquareAttacked(const Position& p, int s, Color attacker);
// The same through an occupancy of the caller's (castling asks it with king and rook lifted).
inline bool isSquareAttackedThrough(const Position& p, int s, Color attacker, Bitboard occ);
inline Bitboard attackersTo(const Position& p, int s, Color attacker);
Bitboard sliderAttackersTo(const Position& p, Bitboard occ, int s, Color attacker);
Bitboard pinnedPieces(const Position& p, Color side);
// Both read p.stack (inCheck, pinned) and may make and unmake the move on p.
inline bool isLegal(Position& p, Move m);
bool givesCheck(Position& p, Move m);

// The slow path of isLegal: make the move, look at the mover's king, take it back.
bool isLegalByMaking(Position& p, Move m);

// Bishops and queens, rooks and queens of a colour.
inline Bitboard diagonalSliders(const Position& p, Color c) {
    return p.bitboards[WhiteLightBishop + c] | p.bitboards[WhiteDarkBishop + c] |
           p.bitboards[WhiteQueen + c];
}
inline Bitboard orthogonalSliders(const Position& p, Color c) {
    return p.bitboards[WhiteRook + c] | p.bitboards[WhiteQueen + c];
}

// Defined here so that they inline: they run at every node and for most generated moves.
inline bool isSquareAttacked(const Position& p, int s, Color attacker) {
    return isSquareAttackedThrough(p, s, attacker, occupancy(p));
}

inline bool isSquareAttackedThrough(const Position& p, int s, Color attacker, Bitboard occ) {
    return (PawnAttacks[attacker ^ 1][s] & p.bitboards[WhitePawn + attacker]) ||
           (KnightAttacks[s] & p.bitboards[WhiteKnight + attacker]) ||
           (KingAttacks[s] & p.bitboards[WhiteKing + attacker]) ||
           (BishopAttacks(s, occ) & diagonalSliders(p, attacker)) ||
           (RookAttacks(s, occ) & orthogonalSliders(p, attacker));
}

inline Bitboard attackersTo(const Position& p, int s, Color attacker) {
    const Bitboard occ = occupancy(p);
    return (PawnAttacks[attacker ^ 1][s] & p.bitboards[WhitePawn + attacker]) |
           (KnightAttacks[s] & p.bitboards[WhiteKnight + attacker]) |
           (KingAttacks[s] & p.bitboards[WhiteKing + attacker]) |
           (BishopAttacks(s, occ) & diagonalSliders(p, attacker)) |
           (RookAttacks(s, occ) & orthogonalSliders(p, attacker));
}

// Castling passes the king test too: a castling is only ever generated or found valid
// with every square of the king's path unattacked, its destination included.
inline bool isLegal(Position& p, Move m) {
    const SearchStackEntry& e = *p.stack;
    if (!e.inCheck && moveKind(m) != KindEnPassant) {
        const int from = moveFrom(m);
        if (isKing(p.board[from])) return !isSquareAttacked(p, moveTo(m), p.sideToMove ^ 1);
        if (!(e.pinned & SquareBit[from])) return true;
        const int k = p.kingSquare[p.sideToMove];
        return LineThrough[k][from] == LineThrough[k][moveTo(m)];
    }
    return isLegalByMaking(p, m);
}
