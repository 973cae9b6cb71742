#include "board/attacks.h"
#include "board/movegen.h"
#include "board/tables.h"

namespace {

int fileDistance(int a, int b) {
    const int d = fileOf(a) - fileOf(b);
    return d < 0 ? -d : d;
}

// A pawn step of d squares forward for the mover's colour (d is +8, +7 or +9 for White).
// Diagonal steps must change the file by one: a stored rook move a2-h2 also has d = 7.
bool pawnStep(int from, int to, int forward, bool occupied) {
    if (!occupied) return to - from == forward;
    const int d = to - from;
    return (d == forward - 1 || d == forward + 1) && fileDistance(from, to) == 1;
}

// A castling word: the king's square and its destination for one of the side's rights.
bool castleIsValid(const Position& p, int from, int to) {
    const Color us = Color(p.sideToMove);
    const int base = us == White ? 0 : 56;
    if (to != base + 6 && to != base + 2) return false;
    return from == p.kingSquare[us] && canCastle(p, castleRightIndex(to));
}

}  // namespace

bool isValidMove(const Position& p, Move m) {
    if (m == 0 || m == 0x0FFF) return false;
    const int from = moveFrom(m), to = moveTo(m), kind = moveKind(m);
    const int mover = p.board[from], target = p.board[to];
    const Color us = Color(p.sideToMove);
    if (mover == Empty || colorOf(mover) != us) return false;
    // A castling's destination may hold its own rook (or king): it is no capture.
    if (kind == KindCastle) return castleIsValid(p, from, to);
    if (target != Empty && (colorOf(target) == us || isKing(target))) return false;
    const int forward = us == White ? 8 : -8;

    switch (kind) {
        case KindNormal:
            if (isPawn(mover)) {
                const bool notFromSeventh = us == White ? from < 48 : from >= 16;
                return notFromSeventh && pawnStep(from, to, forward, target != Empty);
            }
            return (PieceAttacks[mover](from, occupancy(p)) & SquareBit[to]) != 0;
        case KindDoublePush: {
            if (mover != WhitePawn + us) return false;
            const bool onSecond =
                us == White ? (from >= 8 && from < 16) : (from >= 48 && from < 56);
            return onSecond && to == from + 2 * forward && p.board[from + forward] == Empty &&
                   target == Empty;
        }
        case KindEnPassant: {
            if (p.epSquare != uint32_t(to) || mover != WhitePawn + us) return false;
            const bool onFifth =
                us == White ? (from >= 32 && from < 40) : (from >= 24 && from < 32);
            return onFifth && pawnStep(from, to, forward, true);
        }
        default: {
            const int promoted = m >> 12;
            if (promoted > BlackQueen || colorOf(promoted) != us || mover != WhitePawn + us)
                return false;
            // A bishop's code names its square colour; a mismatched one would corrupt the board.
            const bool light = (LightSquares & SquareBit[to]) != 0;
            if ((promoted == WhiteLightBishop + us && !light) ||
                (promoted == WhiteDarkBishop + us && light))
                return false;
            const bool onLast = us == White ? to >= 56 : to < 8;
            return onLast && pawnStep(from, to, forward, target != Empty);
        }
    }
}
