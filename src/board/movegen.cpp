#include "board/movegen.h"

#include "board/attacks.h"
#include "board/tables.h"

int32_t CaptureScore[16][16];

namespace {

// What a position outside any search orders its quiet moves by.
const HistoryTable NoHistory = {};

inline const HistoryTable& historyOf(const Position& p) {
    return p.history ? *p.history : NoHistory;
}

// Ordering rank of a piece code: pawn 0, knight 1, bishop 2, rook 3, queen 4, king 5.
constexpr int orderingRank(int code) {
    constexpr int byType[8] = {0, 0, 1, 2, 2, 3, 4, 5};
    return byType[code >> 1];
}

// Captures rank victims first and cheap attackers first; moves to empty squares rank by
// piece. Own pieces, kings and rows 0 and 1 score nothing.
int32_t captureScoreOf(int attacker, int victim) {
    if (attacker < WhitePawn) return 0;
    if (victim == Empty) {
        constexpr int quiet[6] = {6, 5, 4, 3, 2, 7};
        return quiet[orderingRank(attacker)];
    }
    if (victim < WhitePawn || colorOf(victim) == colorOf(attacker) || isKing(victim)) return 0;
    return 176 + 8 * orderingRank(victim) - orderingRank(attacker);
}

[[maybe_unused]] const bool captureScoresFilled = [] {
    for (int a = 0; a < 16; ++a)
        for (int v = 0; v < 16; ++v) CaptureScore[a][v] = captureScoreOf(a, v);
    return true;
}();

constexpr Bitboard FileA = 0x0101010101010101ull;
constexpr Bitboard FileH = FileA << 7;

// Per-side constants of the pawn moves; Black's board is White's turned upside down.
template <Color Us>
struct Side {
    static constexpr Color Them = Us ^ 1;
    static constexpr int Up = Us == White ? 8 : -8;
    static constexpr Bitboard Rank2 = Us == White ? 0xFF00ull : 0xFF000000000000ull;
    static constexpr Bitboard Rank7 = Us == White ? 0xFF000000000000ull : 0xFF00ull;
    static constexpr Bitboard LastRank = Us == White ? 0xFF00000000000000ull : 0xFFull;
    // Ranks 1..6 seen from the side: the single pushes that do not promote.
    static constexpr Bitboard NonPromoting = Us == White ? 0xFFFFFFFFFFFFull : ~0xFFFFull;
    static constexpr int Pawn = WhitePawn + Us;
    static constexpr int King = WhiteKing + Us;

    static constexpr Bitboard up(Bitboard b) { return Us == White ? b << 8 : b >> 8; }
    // The capture towards the h-file for White (+9) and towards the a-file for Black (-9),
    // then the other diagonal (+7 / -7): the order in which captures are generated.
    static constexpr Bitboard captureFirst(Bitboard b) {
        return Us == White ? (b & ~FileH) << 9 : (b & ~FileA) >> 9;
    }
    static constexpr Bitboard captureSecond(Bitboard b) {
        return Us == White ? (b & ~FileA) << 7 : (b & ~FileH) >> 7;
    }
    static constexpr int FirstDelta = Us == White ? 9 : -9;
    static constexpr int SecondDelta = Us == White ? 7 : -7;
    // Pawns of this side that attack s, in the order of the capture directions above.
    static int popAttacker(Bitboard& b) {
        if (Us == White) return popLsb(b);
        const int s = msb(b);
        b ^= SquareBit[s];
        return s;
    }
};

template <Color Us>
inline void addPromotions(MoveList& l, int from, int to, int score) {
    const int bishop = (LightSquares & SquareBit[to]) ? WhiteLightBishop : WhiteDarkBishop;
    pushMove(l, makeMoveWord(from, to, (WhiteQueen + Us) << 12), score + 32);
    pushMove(l, makeMoveWord(from, to, (WhiteRook + Us) << 12), score);
    pushMove(l, makeMoveWord(from, to, (WhiteKnight + Us) << 12), score);
    pushMove(l, makeMoveWord(from, to, (bishop + Us) << 12), score);
}

// A pawn move to `to` from `from`: four promotions on the last rank, else one move.
template <Color Us>
inline void addPawnMove(const Position& p, MoveList& l, int from, int to) {
    const int score = CaptureScore[Side<Us>::Pawn][p.board[to]];
    if (Side<Us>::LastRank & SquareBit[to])
        addPromotions<Us>(l, from, to, score);
    else
        pushMove(l, makeMoveWord(from, to), score);
}

inline void addCaptureScored(const Position& p, MoveList& l, int from, Bitboard targets) {
    const int code = p.board[from];
    while (targets) {
        const int to = popLsb(targets);
        pushMove(l, makeMoveWord(from, to), CaptureScore[code][p.board[to]]);
    }
}

inline void addHistoryScored(const Position& p, const HistoryTable& history, MoveList& l, int from,
                             Bitboard targets) {
    const int code = p.board[from];
    while (targets) {
        const int to = popLsb(targets);
        pushMove(l, makeMoveWord(from, to), history[code][to]);
    }
}

inline void addUnscored(MoveList& l, int from, Bitboard targets, Move kind = KindNormal) {
    while (targets) pushMove(l, makeMoveWord(from, popLsb(targets), kind), 0);
}

// Moves of knights, bishops, rooks and queens (in this order) onto targets.
template <Color Us, typename Add>
inline void addPieceMoves(const Position& p, Bitboard pieceFilter, Bitboard targets, Add add) {
    const Bitboard occ = occupancy(p);
    for (Bitboard b = p.bitboards[WhiteKnight + Us] & pieceFilter; b;) {
        const int from = popLsb(b);
        add(from, KnightAttacks[from] & targets);
    }
    for (Bitboard b =
             (p.bitboards[WhiteLightBishop + Us] | p.bitboards[WhiteDarkBishop + Us]) & pieceFilter;
         b;) {
        const int from = popLsb(b);
        add(from, BishopAttacks(from, occ) & targets);
    }
    for (Bitboard b = p.bitboards[WhiteRook + Us] & pieceFilter; b;) {
        const int from = popLsb(b);
        add(from, RookAttacks(from, occ) & targets);
    }
    for (Bitboard b = p.bitboards[WhiteQueen + Us] & pieceFilter; b;) {
        const int from = popLsb(b);
        add(from, QueenAttacks(from, occ) & targets);
    }
}

// The castling of one right, when canCastle allows it, ordered by the king's history.
template <Color Us, bool KingSide>
inline void addCastle(const Position& p, MoveList& l) {
    constexpr int right = 2 * Us + (KingSide ? 0 : 1);
    constexpr int kingTo = (Us == White ? 0 : 56) + (KingSide ? 6 : 2);
    if (!canCastle(p, right)) return;
    pushMove(l, makeMoveWord(p.kingSquare[Us], kingTo, KindCastle),
             historyOf(p)[WhiteKing + Us][kingTo]);
}

template <Color Us>
void generateCaptures(Position& p, MoveList& l, Bitboard targets) {
    using S = Side<Us>;
    constexpr Color Them = S::Them;
    const Bitboard occ = occupancy(p);
    const Bitboard victims = p.bitboards[Them] & ~p.bitboards[WhiteKing + Them] & targets;
    const Bitboard pawns = p.bitboards[S::Pawn];

    for (Bitboard b = S::captureFirst(pawns) & victims; b;) {
        const int to = popLsb(b);
        addPawnMove<Us>(p, l, to - S::FirstDelta, to);
    }
    for (Bitboard b = S::captureSecond(pawns) & victims; b;) {
        const int to = popLsb(b);
        addPawnMove<Us>(p, l, to - S::SecondDelta, to);
    }
    for (Bitboard b = S::up(pawns & S::Rank7) & ~occ & targets; b;) {
        const int to = popLsb(b);
        addPromotions<Us>(l, to - S::Up, to, CaptureScore[S::Pawn][Empty]);
    }
    if (p.epSquare < NoSquare && (SquareBit[p.epSquare] & targets)) {
        const int ep = int(p.epSquare);
        for (Bitboard b = PawnAttacks[Them][ep] & pawns; b;)
            pushMove(l, makeMoveWord(S::popAttacker(b), ep, KindEnPassant), 176);
    }

    addPieceMoves<Us>(p, AllSquares, victims,
                      [&](int from, Bitboard t) { addCaptureScored(p, l, from, t); });
    for (Bitboard b = p.bitboards[S::King]; b;) {
        const int from = popLsb(b);
        addCaptureScored(p, l, from, KingAttacks[from] & victims);
    }
    sortMoves(l);
}

template <Color Us>
void generateQuiets(Position& p, MoveList& l, Bitboard targets) {
    using S = Side<Us>;
    const Bitboard occ = occupancy(p);
    const Bitboard dest = ~occ & targets;
    constexpr int base = Us == White ? 0 : 56;

    if ((p.castleRights & (1 << (2 * Us))) && (targets & SquareBit[base + 6]))
        addCastle<Us, true>(p, l);
    if ((p.castleRights & (2 << (2 * Us))) && (targets & SquareBit[base + 2]))
        addCastle<Us, false>(p, l);

    const HistoryTable& history = historyOf(p);
    const Bitboard pawns = p.bitboards[S::Pawn];
    for (Bitboard b = S::up(pawns & S::NonPromoting) & dest; b;) {
        const int to = popLsb(b);
        pushMove(l, makeMoveWord(to - S::Up, to), history[S::Pawn][to]);
    }
    for (Bitboard b = S::up(S::up(pawns & S::Rank2) & ~occ) & dest; b;) {
        const int to = popLsb(b);
        pushMove(l, makeMoveWord(to - 2 * S::Up, to, KindDoublePush), history[S::Pawn][to]);
    }

    addPieceMoves<Us>(p, AllSquares, dest,
                      [&](int from, Bitboard t) { addHistoryScored(p, history, l, from, t); });
    for (Bitboard b = p.bitboards[S::King]; b;) {
        const int from = popLsb(b);
        addHistoryScored(p, history, l, from, KingAttacks[from] & dest);
    }
    sortMoves(l);
}

// Plays the en-passant capture on the bitboards alone and looks at the own king.
template <Color Us>
bool enPassantIsLegal(Position& p, int from, int to) {
    constexpr Color Them = Us ^ 1;
    const int victim = to - Side<Us>::Up;
    const Bitboard moved = SquareBit[from] | SquareBit[to];
    Bitboard* bb = p.bitboards;
    bb[WhitePawn + Us] ^= moved;
    bb[Us] ^= moved;
    bb[WhitePawn + Them] ^= SquareBit[victim];
    bb[Them] ^= SquareBit[victim];
    const bool attacked = isSquareAttacked(p, p.kingSquare[Us], Them);
    bb[WhitePawn + Us] ^= moved;
    bb[Us] ^= moved;
    bb[WhitePawn + Them] ^= SquareBit[victim];
    bb[Them] ^= SquareBit[victim];
    return !attacked;
}

template <Color Us>
void generateEvasions(Position& p, MoveList& l, Bitboard) {
    using S = Side<Us>;
    constexpr Color Them = S::Them;
    const int k = p.kingSquare[Us];
    const Bitboard occ = occupancy(p);
    const Bitboard checkers = attackersTo(p, k, Them);
    const Bitboard free = ~p.stack->pinned;

    // The king may take an adjacent checker but may not step along a checking line: the
    // square behind it stays attacked through the king's old square.
    Bitboard cand = KingAttacks[k];
    for (Bitboard c = checkers; c;) {
        const int x = popLsb(c);
        cand &=
            (cand & SquareBit[x]) | (isPawn(p.board[x]) ? cand : 0) | (cand & ~LineThrough[k][x]);
    }
    cand &= ~p.bitboards[Us];
    while (cand) {
        const int to = popLsb(cand);
        if (!isSquareAttacked(p, to, Them))
            pushMove(l, makeMoveWord(k, to), CaptureScore[S::King][p.board[to]]);
    }
    // Double check leaves only king moves. Without a checker there is nothing to block.
    if (!checkers || (checkers & (checkers - 1))) return;

    const int x = lsb(checkers);
    const Bitboard pawns = p.bitboards[S::Pawn];
    for (Bitboard b = PawnAttacks[Them][x] & pawns & free; b;)
        addPawnMove<Us>(p, l, S::popAttacker(b), x);

    if (p.epSquare < NoSquare && int(p.epSquare) == x + S::Up) {
        const int ep = int(p.epSquare);
        for (Bitboard b = PawnAttacks[Them][ep] & pawns; b;) {
            const int from = S::popAttacker(b);
            if (enPassantIsLegal<Us>(p, from, ep))
                pushMove(l, makeMoveWord(from, ep, KindEnPassant), 176);
        }
    }

    const Bitboard between = Between[k][x];
    for (Bitboard b = S::up(pawns & free) & between & ~occ; b;) {
        const int to = popLsb(b);
        addPawnMove<Us>(p, l, to - S::Up, to);
    }
    for (Bitboard b = S::up(S::up(pawns & free & S::Rank2) & ~occ) & between & ~occ; b;) {
        const int to = popLsb(b);
        pushMove(l, makeMoveWord(to - 2 * S::Up, to, KindDoublePush), CaptureScore[S::Pawn][Empty]);
    }

    addPieceMoves<Us>(p, free, between | SquareBit[x],
                      [&](int from, Bitboard t) { addCaptureScored(p, l, from, t); });
    sortMoves(l);
}

template <Color Us>
void generateQuietChecks(Position& p, MoveList& l, Bitboard) {
    using S = Side<Us>;
    constexpr Color Them = S::Them;
    const int k = p.kingSquare[Them];
    const Bitboard occ = occupancy(p);
    const Bitboard empty = ~occ;
    const Bitboard own = p.bitboards[Us];
    const Bitboard diagonal = diagonalSliders(p, Us), orthogonal = orthogonalSliders(p, Us);

    Bitboard discoverers = 0;
    for (Bitboard c = QueenAttacks(k, occ) & own; c;) {
        const int d = popLsb(c);
        const Bitboard without = occ ^ SquareBit[d];
        if ((BishopAttacks(k, without) & diagonal) || (RookAttacks(k, without) & orthogonal))
            discoverers |= SquareBit[d];
    }
    for (Bitboard b = discoverers; b;) {
        const int d = popLsb(b);
        const Bitboard off = empty & ~LineThrough[k][d];
        const int code = p.board[d];
        if (code == S::Pawn) {
            const Bitboard single = S::up(SquareBit[d] & ~S::Rank7) & off;
            if (single) {
                pushMove(l, makeMoveWord(d, lsb(single)), 0);
                const Bitboard twice = S::up(single & S::up(S::Rank2)) & off;
                if (twice) pushMove(l, makeMoveWord(d, lsb(twice), KindDoublePush), 0);
            }
        } else {
            addUnscored(l, d, PieceAttacks[code](d, occ) & off);
        }
    }

    const Bitboard pawnChecks = PawnAttacks[Them][k] & empty;
    const Bitboard pawns = p.bitboards[S::Pawn];
    for (Bitboard b = S::up(pawns) & pawnChecks; b;) {
        const int to = popLsb(b);
        pushMove(l, makeMoveWord(to - S::Up, to), 0);
    }
    for (Bitboard b = S::up(S::up(pawns & S::Rank2) & empty) & pawnChecks; b;) {
        const int to = popLsb(b);
        pushMove(l, makeMoveWord(to - 2 * S::Up, to, KindDoublePush), 0);
    }

    const Bitboard others = ~discoverers;
    for (Bitboard b = p.bitboards[WhiteKnight + Us] & others; b;) {
        const int from = popLsb(b);
        addUnscored(l, from, KnightAttacks[from] & KnightAttacks[k] & empty);
    }
    const Bitboard bishopChecks = BishopAttacks(k, occ) & empty;
    const Bitboard rookChecks = RookAttacks(k, occ) & empty;
    for (Bitboard b =
             (p.bitboards[WhiteLightBishop + Us] | p.bitboards[WhiteDarkBishop + Us]) & others;
         b;) {
        const int from = popLsb(b);
        addUnscored(l, from, BishopAttacks(from, occ) & bishopChecks);
    }
    for (Bitboard b = p.bitboards[WhiteRook + Us] & others; b;) {
        const int from = popLsb(b);
        addUnscored(l, from, RookAttacks(from, occ) & rookChecks);
    }
    for (Bitboard b = p.bitboards[WhiteQueen + Us] & others; b;) {
        const int from = popLsb(b);
        addUnscored(l, from, QueenAttacks(from, occ) & (bishopChecks | rookChecks));
    }

    constexpr int base = Us == White ? 0 : 56;
    const Bitboard rookLines = RookAttacks(k, occ);
    if ((p.castleRights & (1 << (2 * Us))) && (rookLines & SquareBit[base + 5]))
        addCastle<Us, true>(p, l);
    if ((p.castleRights & (2 << (2 * Us))) && (rookLines & SquareBit[base + 3]))
        addCastle<Us, false>(p, l);
}

}  // namespace

bool canCastle(const Position& p, int right) {
    if (!(p.castleRights & (1 << right))) return false;
    const Color us = Color(right >> 1), them = us ^ 1;
    const bool kingSide = (right & 1) == 0;
    const int base = us == White ? 0 : 56;
    const int king = p.kingSquare[us], rook = p.castleRooks.square[right];
    if (king < base || king >= base + 8 || p.board[king] != WhiteKing + us ||
        p.board[rook] != WhiteRook + us || (kingSide ? rook < king : rook > king))
        return false;
    const int kingTo = base + (kingSide ? 6 : 2), rookTo = base + (kingSide ? 5 : 3);
    const Bitboard lifted = occupancy(p) ^ SquareBit[king] ^ SquareBit[rook];
    const Bitboard kingWay = Between[king][kingTo] | SquareBit[kingTo];
    if (lifted & (kingWay | Between[rook][rookTo] | SquareBit[rookTo])) return false;
    // Lifting the king changes nothing for the king's way (a line through its square would
    // attack the square itself); lifting the rook lets an attacker behind it count.
    if (isSquareAttackedThrough(p, king, them, lifted)) return false;
    for (Bitboard b = kingWay & ~SquareBit[king]; b;)
        if (isSquareAttackedThrough(p, popLsb(b), them, lifted)) return false;
    return true;
}

const Generator MoveGenerators[8] = {generateEvasions<White>,    generateEvasions<Black>,
                                     generateCaptures<White>,    generateCaptures<Black>,
                                     generateQuiets<White>,      generateQuiets<Black>,
                                     generateQuietChecks<White>, generateQuietChecks<Black>};

void sortMoves(MoveList& l) {
    for (int i = 1; i < l.count; ++i) {
        const Move m = l.moveWords[i];
        const int16_t s = l.scores[i];
        int j = i;
        for (; j > 0 && l.scores[j - 1] < s; --j) {
            l.moveWords[j] = l.moveWords[j - 1];
            l.scores[j] = l.scores[j - 1];
        }
        l.moveWords[j] = m;
        l.scores[j] = s;
    }
}
