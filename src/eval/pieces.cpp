#include "eval/pieces.h"

#include <algorithm>
#include <array>

#include "board/tables.h"
#include "eval/pawn_race.h"

namespace {

constexpr PackedScore S(int mg, int eg) {
    return pack(mg, eg);
}

constexpr PackedScore PawnFork = S(45, 45);
constexpr PackedScore KnightMobility = S(4, 4);
constexpr PackedScore BishopMobility = S(4, 4);
constexpr PackedScore RookMobility = S(2, 2);
constexpr PackedScore QueenMobility = S(1, 1);
constexpr PackedScore TouchesPawn = S(1, 1);
constexpr PackedScore KnightForksMajors = S(35, 35);
constexpr PackedScore Outpost = S(5, 5);
constexpr PackedScore OutpostCentreFile = S(2, 2);
constexpr PackedScore OutpostFifthRank = S(3, 3);
constexpr PackedScore OutpostUnchallenged = S(5, 5);
constexpr PackedScore RookNoOwnPawn = S(16, 12), RookNoPawn = S(20, 8), RookNearKing = S(12, 12);
constexpr PackedScore QueenNoOwnPawn = S(6, 6), QueenNoPawn = S(8, 6), QueenNearKing = S(6, 6);
constexpr PackedScore RookOnSeventh = S(2, 8);
constexpr PackedScore RookBehindOwnPasser = S(20, 10), EnemyRookBehindPasser = S(0, -15);
constexpr PackedScore TrappedBishop = S(-50, 0), BlockedBishop = S(-30, 0), ShutInRook = S(-30, 0);

constexpr int KnightZoneWeight = 10, BishopZoneWeight = 10, RookZoneWeight = 20;
constexpr int QueenZoneWeight = 40, PawnZoneWeight = 5;

// End-game bonuses of a passed pawn by its relative rank.
using RankValues = std::array<int, 8>;
constexpr RankValues PasserUnstoppable = {0, 400, 400, 480, 560, 640, 800, 0};
constexpr RankValues PasserOwnPathFree = {0, 0, 0, 2, 3, 4, 5, 0};
constexpr RankValues PasserEnemyPathFree = {0, 0, 0, 4, 6, 8, 10, 0};
constexpr RankValues PasserPathSafe = {0, 0, 0, 10, 20, 30, 50, 0};
constexpr RankValues PasserVsKnights = {0, 2, 2, 4, 8, 16, 32, 0};

// By attacker count: one piece alone is no attack.
constexpr std::array<int, 16> KingAttackScale = {0,   0,   128, 192, 224, 240, 248, 252,
                                                 254, 255, 256, 256, 256, 256, 256, 256};

constexpr Bitboard bit(int s) {
    return Bitboard(1) << s;
}
constexpr Bitboard FileAOrH = 0x8181818181818181ull;

// Everything the pass builds and later terms read; one per evaluation, on the stack.
struct Pass {
    const Position& p;
    const MaterialEntry& m;
    const PawnEntry& pe;
    Bitboard occupied;
    Bitboard pawnAttacks[2];
    Bitboard attacks[2];  // grows as pieces are scored; king moves never enter
    Bitboard kingZone[2];
    int attackers[2];  // pieces reaching the enemy king zone
    int attackWeight[2];
    Bitboard rookArea[2];
    Bitboard queenArea[2];
};

template <Color Us>
constexpr int relativeSquare(int s) {
    return Us == White ? s : s ^ 56;
}

template <Color Us>
Bitboard pieces(const Position& p, int whiteCode) {
    return p.bitboards[whiteCode + Us];
}

template <Color Us>
Bitboard bishops(const Position& p) {
    return pieces<Us>(p, WhiteLightBishop) | pieces<Us>(p, WhiteDarkBishop);
}

template <Color Us>
PackedScore pawnForks(const Pass& ps) {
    constexpr Color Them = Us ^ 1;
    const Bitboard targets = ps.p.bitboards[Them] & ~pieces<Them>(ps.p, WhitePawn);
    PackedScore score = 0;
    for (Bitboard b = pieces<Us>(ps.p, WhitePawn) & ps.pawnAttacks[Us]; b;) {
        if (popcount(PawnAttacks[Us][popLsb(b)] & targets) >= 2) score += PawnFork;
    }
    return score;
}

// The outpost test shared by knights and bishops: in the enemy half's front, backed by one of
// our pawns, and no enemy pawn left that could ever chase the piece away.
template <Color Us>
bool isOutpost(const Pass& ps, int s, bool& unchallenged) {
    constexpr Color Them = Us ^ 1;
    constexpr Bitboard Zone = Us == White ? 0x00007E7E7E000000ull : 0x0000007E7E7E0000ull;
    unchallenged = !(pieces<Them>(ps.p, WhitePawn) & PassedPawnMask[Us][s]);
    return (Zone & bit(s)) && (ps.pawnAttacks[Us] & bit(s));
}

template <Color Us>
void reachKingZone(Pass& ps, Bitboard a, int weight) {
    if (a & ps.kingZone[Us ^ 1]) {
        ++ps.attackers[Us];
        ps.attackWeight[Us] += weight;
    }
}

// What any piece's attack set earns, and what it adds to the pass: mobility over its area,
// a visit to the enemy king zone, a touched enemy pawn.
template <Color Us>
PackedScore activity(Pass& ps, Bitboard a, Bitboard area, PackedScore mobility, int zoneWeight) {
    ps.attacks[Us] |= a;
    PackedScore score = popcount(a & area) * mobility;
    reachKingZone<Us>(ps, a, zoneWeight);
    if (a & pieces<Us ^ 1>(ps.p, WhitePawn)) score += TouchesPawn;
    return score;
}

template <Color Us>
PackedScore knights(Pass& ps) {
    constexpr Color Them = Us ^ 1;
    const Position& p = ps.p;
    const Bitboard area = ~p.bitboards[Us] & ~ps.pawnAttacks[Them];
    const Bitboard bigTargets =
        pieces<Them>(p, WhiteKing) | pieces<Them>(p, WhiteQueen) | pieces<Them>(p, WhiteRook);
    PackedScore score = 0;
    for (Bitboard b = pieces<Us>(p, WhiteKnight); b;) {
        const int s = popLsb(b);
        const Bitboard a = KnightAttacks[s];
        score += activity<Us>(ps, a, area, KnightMobility, KnightZoneWeight);
        if (popcount(a & bigTargets) >= 2) score += KnightForksMajors;
        bool unchallenged;
        if (isOutpost<Us>(ps, s, unchallenged)) {
            score += Outpost;
            if (fileOf(s) == 3 || fileOf(s) == 4) score += OutpostCentreFile;
            if (relativeRank<Us>(s) == 4) score += OutpostFifthRank;
            if (unchallenged) score += OutpostUnchallenged;
        }
    }
    return score;
}

template <Color Us>
PackedScore bishopTerms(Pass& ps) {
    constexpr Color Them = Us ^ 1;
    const Position& p = ps.p;
    const Bitboard area = ~p.bitboards[Us] & ~ps.pawnAttacks[Them];
    PackedScore score = 0;
    for (Bitboard b = bishops<Us>(p); b;) {
        const int s = popLsb(b);
        score +=
            activity<Us>(ps, BishopAttacks(s, ps.occupied), area, BishopMobility, BishopZoneWeight);
        bool unchallenged;
        if (isOutpost<Us>(ps, s, unchallenged) && unchallenged) score += Outpost;
    }
    return score;
}

// Open-file bonuses shared by rooks and queens: the second and third need the first.
template <Color Us>
PackedScore openFile(const Pass& ps, int s, PackedScore noOwnPawn, PackedScore noPawn,
                     PackedScore nearKing) {
    constexpr Color Them = Us ^ 1;
    const int f = fileOf(s);
    if (ps.pe.pawnFiles[Us] & (1 << f)) return 0;
    PackedScore score = noOwnPawn;
    if (!(ps.pe.pawnFiles[Them] & (1 << f))) score += noPawn;
    const int kingFileGap = fileOf(ps.p.kingSquare[Them]) - f;
    if ((ps.m.flags[Us] & AttackKing) && kingFileGap >= -1 && kingFileGap <= 1) score += nearKing;
    return score;
}

template <Color Us>
PackedScore rooks(Pass& ps) {
    constexpr Color Them = Us ^ 1;
    constexpr Bitboard TheirBackRanks = Us == White ? 0xFFFF000000000000ull : 0xFFFFull;
    const Position& p = ps.p;
    const Bitboard theirPawns = pieces<Them>(p, WhitePawn);
    const bool seventhHasTargets = (theirPawns | pieces<Them>(p, WhiteKing)) & TheirBackRanks;
    PackedScore score = 0;
    for (Bitboard b = pieces<Us>(p, WhiteRook); b;) {
        const int s = popLsb(b);
        score += activity<Us>(ps, RookAttacks(s, ps.occupied), ps.rookArea[Us], RookMobility,
                              RookZoneWeight);
        score += openFile<Us>(ps, s, RookNoOwnPawn, RookNoPawn, RookNearKing);
        if (relativeRank<Us>(s) == 6 && seventhHasTargets) score += RookOnSeventh;
    }
    return score;
}

template <Color Us>
PackedScore queens(Pass& ps) {
    PackedScore score = 0;
    for (Bitboard b = pieces<Us>(ps.p, WhiteQueen); b;) {
        const int s = popLsb(b);
        score += activity<Us>(ps, QueenAttacks(s, ps.occupied), ps.queenArea[Us], QueenMobility,
                              QueenZoneWeight);
        score += openFile<Us>(ps, s, QueenNoOwnPawn, QueenNoPawn, QueenNearKing);
    }
    return score;
}

template <Color Us>
PackedScore kingAttack(const Pass& ps) {
    if (!(ps.m.flags[Us] & AttackKing)) return 0;
    const int scale = KingAttackScale[std::min(ps.attackers[Us], 15)];
    return pack(scale * ps.attackWeight[Us] / 256 + ps.pe.shelter[Us ^ 1], 0);
}

template <Color Us>
PackedScore passedPawns(const Pass& ps) {
    constexpr Color Them = Us ^ 1;
    const Position& p = ps.p;
    const Bitboard ours = pieces<Us>(p, WhitePawn);
    const Bitboard theirPieces =
        p.bitboards[Them] & ~pieces<Them>(p, WhitePawn) & ~pieces<Them>(p, WhiteKing);
    const bool theyHaveOnlyKnights = !(theirPieces & ~pieces<Them>(p, WhiteKnight));
    const Bitboard unsafe =
        (ps.attacks[Them] | ps.kingZone[Them]) & ~(ps.attacks[Us] | ps.kingZone[Us]);
    PackedScore score = 0;
    for (int files = ps.pe.passedFiles[Us]; files; files &= files - 1) {
        const Bitboard onFile = ours & FileMask[__builtin_ctz(files)];
        if (!onFile) continue;  // only on a pawn-table collision
        const int s = Us == White ? msb(onFile) : lsb(onFile);
        const int r = relativeRank<Us>(s);
        const Bitboard path = FrontSpan[Us][s];
        if (!theirPieces) {
            const bool outsideSquare = !(SquareRule[Us][s][p.sideToMove] & bit(p.kingSquare[Them]));
            const bool kingOnKeySquare = KeySquares[Us][s] & bit(p.kingSquare[Us]);
            if (outsideSquare || kingOnKeySquare) score += pack(0, PasserUnstoppable[r]);
        }
        if (!(path & p.bitboards[Us])) score += pack(0, PasserOwnPathFree[r]);
        if (!(path & p.bitboards[Them])) score += pack(0, PasserEnemyPathFree[r]);
        if (!(path & unsafe)) score += pack(0, PasserPathSafe[r]);
        const Bitboard behind = FrontSpan[Them][s];
        if (behind & pieces<Us>(p, WhiteRook)) score += RookBehindOwnPasser;
        if (behind & pieces<Them>(p, WhiteRook)) score += EnemyRookBehindPasser;
        if ((bit(s) & FileAOrH) && theyHaveOnlyKnights) score += pack(0, PasserVsKnights[r]);
    }
    return score;
}

template <Color Us>
PackedScore patterns(const Pass& ps) {
    constexpr Color Them = Us ^ 1;
    const Position& p = ps.p;
    auto has = [](Bitboard set, int whiteSq) {
        return (set & bit(relativeSquare<Us>(whiteSq))) != 0;
    };
    const Bitboard ourBishops = bishops<Us>(p), ourPawns = pieces<Us>(p, WhitePawn);
    const Bitboard theirPawns = pieces<Them>(p, WhitePawn);
    const Bitboard ourRooks = pieces<Us>(p, WhiteRook), ourKing = pieces<Us>(p, WhiteKing);
    auto trappedBy = [&](int bishopSq, int pawnSq) {
        return has(ourBishops, bishopSq) && has(theirPawns, pawnSq);
    };
    PackedScore score = 0;
    // Bishops that took a wing pawn and are shut in by the next one (a6/b5, a7/b6, b8/c7).
    if (trappedBy(40, 33) || trappedBy(48, 41) || trappedBy(57, 50)) score += TrappedBishop;
    if (trappedBy(47, 38) || trappedBy(55, 46) || trappedBy(62, 53)) score += TrappedBishop;
    // Home bishops behind a centre pawn that cannot advance (c1/d2/d3, f1/e2/e3).
    if (has(ourBishops, 2) && has(ourPawns, 11) && has(ps.occupied, 19)) score += BlockedBishop;
    if (has(ourBishops, 5) && has(ourPawns, 12) && has(ps.occupied, 20)) score += BlockedBishop;
    // Rooks shut in by their own uncastled king.
    if ((has(ourRooks, 0) || has(ourRooks, 1) || has(ourRooks, 8)) &&
        (has(ourKing, 1) || has(ourKing, 2))) {
        score += ShutInRook;
    }
    if ((has(ourRooks, 6) || has(ourRooks, 7) || has(ourRooks, 15)) &&
        (has(ourKing, 5) || has(ourKing, 6))) {
        score += ShutInRook;
    }
    return score;
}

template <bool Traced>
PackedScore runPass(const Position& p, const MaterialEntry& m, const PawnEntry& pe,
                    PieceTermTrace* trace) {
    Pass ps{p, m, pe, occupancy(p), {}, {}, {}, {0, 0}, {0, 0}, {}, {}};
    ps.pawnAttacks[White] = pawnAttackSet<White>(p.bitboards[WhitePawn]);
    ps.pawnAttacks[Black] = pawnAttackSet<Black>(p.bitboards[BlackPawn]);
    ps.attacks[White] = ps.pawnAttacks[White];
    ps.attacks[Black] = ps.pawnAttacks[Black];
    ps.kingZone[White] = KingAttacks[p.kingSquare[White]];
    ps.kingZone[Black] = KingAttacks[p.kingSquare[Black]];
    if (ps.pawnAttacks[White] & ps.kingZone[Black]) ps.attackWeight[White] = PawnZoneWeight;
    if (ps.pawnAttacks[Black] & ps.kingZone[White]) ps.attackWeight[Black] = PawnZoneWeight;

    PackedScore sum = 0;
    auto add = [&](PieceTermGroup group, PackedScore white, PackedScore black) {
        sum += white - black;
        if (Traced) {
            trace->group[group][White] = white;
            trace->group[group][Black] = black;
        }
    };
    // Each side's attack set grows as its pieces are scored, so the order is fixed: White's
    // group, then Black's, group after group.
    {
        PackedScore w = pawnForks<White>(ps);
        add(GroupPawnForks, w, pawnForks<Black>(ps));
    }
    {
        PackedScore w = knights<White>(ps);
        add(GroupKnights, w, knights<Black>(ps));
    }
    {
        PackedScore w = bishopTerms<White>(ps);
        add(GroupBishops, w, bishopTerms<Black>(ps));
    }
    ps.rookArea[White] = ~p.bitboards[White] & ~ps.attacks[Black];
    ps.rookArea[Black] = ~p.bitboards[Black] & ~ps.attacks[White];
    {
        PackedScore w = rooks<White>(ps);
        add(GroupRooks, w, rooks<Black>(ps));
    }
    ps.queenArea[White] = ~p.bitboards[White] & ~ps.attacks[Black];
    ps.queenArea[Black] = ~p.bitboards[Black] & ~ps.attacks[White];
    {
        PackedScore w = queens<White>(ps);
        add(GroupQueens, w, queens<Black>(ps));
    }
    add(GroupKingAttack, kingAttack<White>(ps), kingAttack<Black>(ps));
    add(GroupPassedPawns, passedPawns<White>(ps), passedPawns<Black>(ps));
    add(GroupPatterns, patterns<White>(ps), patterns<Black>(ps));
    return sum;
}

}  // namespace

PackedScore evaluatePieces(const Position& p, const MaterialEntry& m, const PawnEntry& pe,
                           PieceTermTrace* trace) {
    return trace ? runPass<true>(p, m, pe, trace) : runPass<false>(p, m, pe, nullptr);
}
