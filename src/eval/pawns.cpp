#include "eval/pawns.h"

#include <algorithm>
#include <array>

#include "board/tables.h"

namespace {

using RankTable = std::array<PackedScore, 8>;
constexpr PackedScore S(int mg, int eg) {
    return pack(mg, eg);
}

constexpr RankTable PassedBase = {0,         S(5, 5),   S(5, 5),   S(5, 10),
                                  S(20, 30), S(40, 50), S(60, 70), 0};
constexpr RankTable PassedNeighbour = {0, 0, 0, 0, S(15, 10), S(20, 15), S(30, 20), 0};
constexpr RankTable PassedDefended = {0, 0, 0, 0, S(15, 10), S(20, 15), S(30, 20), 0};
constexpr RankTable PassedEdgeFile = {0, 0, 0, S(5, 5), S(6, 8), S(8, 10), S(10, 15), 0};
constexpr RankTable Candidate = {0, 0, 0, 0, S(15, 25), S(35, 45), 0, 0};
constexpr RankTable IsolatedOpen = {0, S(10, 15), S(10, 15), S(10, 15), S(0, 5), 0, 0, 0};
constexpr RankTable IsolatedClosed = {0, S(4, 6), S(4, 6), S(4, 6), 0, 0, 0, 0};
constexpr RankTable BackwardOpen = {0, S(8, 12), S(8, 12), 0, 0, 0, 0, 0};
constexpr RankTable Rammed = {0, 0, 0, 0, S(0, 8), S(0, 10), 0, 0};
constexpr PackedScore Defended = S(1, 2);
constexpr PackedScore Neighbour = S(1, 1);
constexpr PackedScore Doubled = S(0, -12);

// End-game values by king distance to the passed pawn's stop square.
constexpr std::array<int, 8> OwnKingToStop = {2, 0, 4, 8, 12, 16, 20, 24};
constexpr std::array<int, 8> EnemyKingToStop = {0, 10, 15, 20, 25, 30, 35, 40};
constexpr std::array<int, 8> EnemyKingBehindToStop = {0, 20, 25, 30, 35, 40, 45, 50};

constexpr std::array<PackedScore, 5> PawnIslandPenalty = {0, 0, S(6, 6), S(14, 14), S(25, 25)};

// Shelter by the relative rank of the pawn nearest the king's side; index 8: no such pawn.
constexpr std::array<int, 9> ShelterBesideKing = {30, 0, 5, 15, 20, 25, 25, 25, 30};
constexpr std::array<int, 9> ShelterOnKingFile = {55, 0, 15, 40, 50, 55, 55, 55, 55};
constexpr std::array<int, 9> Storm = {10, 0, 30, 20, 10, 0, 0, 0, 10};
constexpr int NoPawn = 8;

// Pawns on the first or last rank never occur in a searchable position; leaving them out
// keeps every square reached two ranks ahead or one behind on the board.
constexpr Bitboard InnerRanks = 0x00FFFFFFFFFFFF00ull;

constexpr bool onEdgeFiles(int f) {
    return f <= 1 || f >= 6;
}

// The pawn of a set that stands nearest to `Us`'s back rank.
template <Color Us>
int nearestToBackRank(Bitboard b) {
    return Us == White ? lsb(b) : msb(b);
}

template <Color Us>
PackedScore scorePawns(const Position& p, PawnEntry& e) {
    constexpr Color Them = Us ^ 1;
    constexpr int Up = Us == White ? 8 : -8;
    const Bitboard ours = p.bitboards[WhitePawn + Us];
    const Bitboard theirs = p.bitboards[WhitePawn + Them];
    const Bitboard supported = pawnAttackSet<Us>(ours);
    const int ownKing = p.kingSquare[Us], enemyKing = p.kingSquare[Them];
    PackedScore score = 0;

    for (Bitboard b = ours & InnerRanks; b;) {
        const int s = popLsb(b), f = fileOf(s), r = relativeRank<Us>(s);
        e.pawnFiles[Us] |= uint8_t(1 << f);
        const bool open = !(FrontSpan[Us][s] & (ours | theirs));
        if (theirs & SquareBit[s + Up]) score += Rammed[r];
        const bool defended = supported & SquareBit[s];
        if (defended) score += Defended;
        const bool neighbour = ours & PhalanxMask[s];
        if (neighbour) score += Neighbour;
        if (!(ours & AdjacentFiles[f])) score -= open ? IsolatedOpen[r] : IsolatedClosed[r];
        if (ours & FrontSpan[Us][s]) score += Doubled;
        // Backward: nothing of ours beside or behind it, and an enemy pawn guards its stop.
        if (open && r <= 4 && !(ours & (AttackSpan[Them][s] | PhalanxMask[s])) &&
            (theirs & PhalanxMask[s + 2 * Up])) {
            score -= BackwardOpen[r];
        }
        if (!(theirs & PassedPawnMask[Us][s]) && !(ours & FrontSpan[Us][s])) {
            e.passedFiles[Us] |= uint8_t(1 << f);
            score += PassedBase[r];
            if (neighbour) score += PassedNeighbour[r];
            if (defended) score += PassedDefended[r];
            if (onEdgeFiles(f)) score += PassedEdgeFile[r];
            const int stop = s + Up;
            score -= pack(0, OwnKingToStop[distance(ownKing, stop)]);
            const bool kingBehind = relativeRank<Us>(enemyKing) < r;
            const auto& enemyRow = kingBehind ? EnemyKingBehindToStop : EnemyKingToStop;
            score += pack(0, enemyRow[distance(enemyKing, stop)]);
        } else if (open && !(theirs & PassedPawnMask[Us][s + Up]) &&
                   popcount(ours & PhalanxMask[s - Up]) >= popcount(theirs & PhalanxMask[s + Up])) {
            score += Candidate[r];
        }
    }
    const int files = e.pawnFiles[Us];
    score -= PawnIslandPenalty[popcount(Bitboard(files & ~(files << 1)))];
    return score;
}

template <Color Us>
int shelter(const Position& p, int kingSq) {
    constexpr Color Them = Us ^ 1;
    const Bitboard ours = p.bitboards[WhitePawn + Us];
    const Bitboard theirs = p.bitboards[WhitePawn + Them];
    const int f = fileOf(kingSq), first = std::max(0, f - 1), last = std::min(7, f + 1);
    auto rankOnFile = [](Bitboard pawns, int file) {
        Bitboard onFile = pawns & FileMask[file];
        return onFile ? relativeRank<Us>(nearestToBackRank<Us>(onFile)) : NoPawn;
    };
    int sum = 0;
    for (int g = first; g <= last; ++g) {
        sum += (g == f ? ShelterOnKingFile : ShelterBesideKing)[rankOnFile(ours, g)];
    }
    if (sum == 0) sum = 10;
    const int theirKingFile = fileOf(p.kingSquare[Them]);
    const bool oppositeWings = (f >= 5 && theirKingFile <= 4) || (f <= 2 && theirKingFile >= 3);
    if (oppositeWings) {
        for (int g = first; g <= last; ++g) sum += Storm[rankOnFile(theirs, g)];
    }
    return sum;
}

}  // namespace

int kingShelter(const Position& p, Color side, int kingSq) {
    return side == White ? shelter<White>(p, kingSq) : shelter<Black>(p, kingSq);
}

uint64_t pawnProbeKey(const Position& p) {
    return p.pawnKey ^ CastleKey[p.castleRights] ^ PieceKey[WhiteKing][p.kingSquare[White]] ^
           PieceKey[BlackKing][p.kingSquare[Black]];
}

void evaluatePawns(const Position& p, PawnEntry& e) {
    e = PawnEntry{};
    e.check = uint32_t(pawnProbeKey(p) >> 32);
    e.score = scorePawns<White>(p, e) - scorePawns<Black>(p, e);

    // A king that may still castle is judged by the better of its square and its castling
    // squares.
    int white = kingShelter(p, White, p.kingSquare[White]);
    if (p.castleRights & 1) white = std::min(white, kingShelter(p, White, 6));
    if (p.castleRights & 2) white = std::min(white, kingShelter(p, White, 2));
    int black = kingShelter(p, Black, p.kingSquare[Black]);
    if (p.castleRights & 4) black = std::min(black, kingShelter(p, Black, 62));
    if (p.castleRights & 8) black = std::min(black, kingShelter(p, Black, 58));
    e.shelter[White] = uint8_t(white);
    e.shelter[Black] = uint8_t(black);
}

const PawnEntry& probePawns(const Position& p, PawnTable& table) {
    const uint64_t key = pawnProbeKey(p);
    PawnEntry& e = table[key & (PawnTableSize - 1)];
    if (e.check != uint32_t(key >> 32)) evaluatePawns(p, e);
    return e;
}
