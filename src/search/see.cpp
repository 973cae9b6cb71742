#include "search/see.h"

#include "board/attacks.h"
#include "board/tables.h"

const int32_t SeeValue[16] = {0,   0,   100, 100, 300,  300,  300,   300,
                              300, 300, 500, 500, 1000, 1000, 10000, 10000};

int StaticExchange(const Position& p, Move m) {
    if (moveKind(m) == KindCastle) return 0;
    // A promotion counts as a pawn move; an en-passant capture as a plain pawn trade.
    if (moveKind(m) == KindEnPassant) return 100;

    const int to = moveTo(m);
    int from = moveFrom(m);
    Bitboard occupied = occupancy(p);
    Bitboard attackers = attackersTo(p, to, White) | attackersTo(p, to, Black) | SquareBit[from];
    // Pieces that may hide a slider behind them.
    const Bitboard xrayCarriers = occupied & ~(p.bitboards[WhiteKnight] | p.bitboards[BlackKnight] |
                                               p.bitboards[WhiteKing] | p.bitboards[BlackKing]);

    // At most 32 pieces can take part, plus the speculative last entry.
    int gain[40];
    gain[0] = SeeValue[p.board[to]];
    int onSquare = p.board[from];
    int side = int(p.sideToMove) ^ 1;
    int d = 1;
    for (;; ++d) {
        gain[d] = SeeValue[onSquare] - gain[d - 1];
        // The side to capture can no longer change the outcome.
        if ((-gain[d - 1] > gain[d] ? -gain[d - 1] : gain[d]) < 0) break;
        if (d == 38) break;

        attackers &= ~SquareBit[from];
        occupied &= ~SquareBit[from];
        if (xrayCarriers & SquareBit[from])
            attackers |= sliderAttackersTo(p, occupied, to, White) |
                         sliderAttackersTo(p, occupied, to, Black);

        int code = side + WhitePawn;
        while (code <= side + WhiteKing && !(p.bitboards[code] & attackers)) code += 2;
        if (code > side + WhiteKing) break;
        from = lsb(p.bitboards[code] & attackers);
        onSquare = code;
        side ^= 1;
    }
    for (int k = d - 1; k >= 1; --k)
        gain[k - 1] = -(-gain[k - 1] > gain[k] ? -gain[k - 1] : gain[k]);
    return gain[0];
}
