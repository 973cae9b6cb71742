#include "eval/pawn_race.h"

#include "board/tables.h"
#include "eval/eval.h"

Bitboard SquareRule[2][64][2];

namespace {

int promotionSquare(int pawnSq) {
    return 56 + fileOf(pawnSq);
}

// The pawn's side moves first: a pawn on its starting rank gains a move by its double step.
bool catchesPawnMovingFirst(int k, int p) {
    const int r = rankOf(p);
    const int n = 7 - r - (r < 2 ? 1 : 0);
    return distance(k, promotionSquare(p)) <= n;
}

}  // namespace

bool kingCatchesPawn(int k, int p, int t) {
    const int r = rankOf(p), n = 7 - r;
    int limit = n + t;
    if (r <= 1) {
        limit = n + t - 1;
        // Next to the pawn the king can take it before the double step gets away.
        if (t != 0 && distance(k, p) == 1) ++limit;
    }
    return distance(k, promotionSquare(p)) <= limit;
}

void buildSquareRule() {
    for (int p = 0; p < 64; ++p) {
        for (int k = 0; k < 64; ++k) {
            const Bitboard kingBit = Bitboard(1) << k;
            if (catchesPawnMovingFirst(k, p)) SquareRule[White][p][White] |= kingBit;
            if (kingCatchesPawn(k, p, 1)) SquareRule[White][p][Black] |= kingBit;
            // A black pawn is a white pawn on the mirrored board.
            if (catchesPawnMovingFirst(k ^ 56, p ^ 56)) SquareRule[Black][p][Black] |= kingBit;
            if (kingCatchesPawn(k ^ 56, p ^ 56, 1)) SquareRule[Black][p][White] |= kingBit;
        }
    }
}
