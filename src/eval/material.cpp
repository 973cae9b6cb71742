#include "eval/material.h"

#include <algorithm>
#include <initializer_list>

#include "board/tables.h"

namespace {

constexpr PackedScore PawnValue = pack(95, 95);
constexpr PackedScore MinorValue = pack(324, 292);
constexpr PackedScore QueenValue = pack(925, 925);
constexpr PackedScore BishopPair = pack(47, 47);

int minors(const SideCounts& c) {
    return c.knights + c.lightBishops + c.darkBishops;
}
int majors(const SideCounts& c) {
    return c.rooks + c.queens;
}
bool hasBishopPair(const SideCounts& c) {
    return c.lightBishops > 0 && c.darkBishops > 0;
}
int pieceCount(const SideCounts& c) {
    return minors(c) + majors(c);
}

int phaseOf(const SideCounts& w, const SideCounts& b) {
    int phase = minors(w) + minors(b) + 3 * (w.rooks + b.rooks) + 6 * (w.queens + b.queens);
    return std::min(32, phase);
}

uint8_t flagsOf(const SideCounts& us, const SideCounts& them) {
    uint8_t flags = 0;
    if (us.queens > 0 && pieceCount(us) >= 2) flags |= AttackKing;
    bool onlyOneBishopColour =
        us.knights == 0 && majors(us) == 0 && (us.lightBishops == 0 || us.darkBishops == 0);
    if (us.pawns > 0 && onlyOneBishopColour) flags |= WrongBishop;
    if (pieceCount(us) == 0 && us.pawns == 1 && pieceCount(them) == 0 && them.pawns == 0) {
        flags |= LonePawn;
    }
    return flags;
}

// The scale formulas for the weaker side with many pawns can go below zero (two minors
// against one and five pawns, say); a negative factor would flip the score's sign, so it
// stops at a dead draw.
int clampScale(int scale) {
    return std::max(0, std::min(128, scale));
}

int scaleByRules(const SideCounts& us, const SideCounts& them) {
    const int P = us.pawns, p = them.pawns;
    const int m = minors(us), m2 = minors(them);
    const int R = us.rooks, r = them.rooks, Q = us.queens, q = them.queens;
    const int M = R + Q;
    const int D = (m + 2 * R + 4 * Q) - (m2 + 2 * r + 4 * q);

    if (P >= 2 || D < 0 || D > 2) return 128;
    if (D == 2) {
        bool twoKnightsOnly = us.knights == 2 && m == 2 && M == 0 && P == 0;
        if (twoKnightsOnly) return p == 0 ? 0 : 64;
        return 128;
    }
    // Formulas used by several rows once P is 0 or 1.
    const int manyPawns = p >= 2 ? (32 - p) * 4 : 128;
    if (D == 1) {
        if (m == m2 + 1) {
            if (M == 0) {
                if (m == 1) return P == 0 ? 0 : (16 - p) * 8;
                if (m == 2) return P == 0 ? (4 - p) * 8 : (16 - p) * 8;
                return P == 0 ? (8 - p) * 8 : manyPawns;
            }
            if (M == 1) {
                if (m == 1) return P == 0 ? (4 - p) * 8 : (16 - p) * 8;
                if (m == 2) return P == 0 ? (8 - p) * 8 : (16 - p) * 8;
                return P == 0 ? (12 - p) * 8 : manyPawns;
            }
            return P == 0 ? (24 - p) * 4 : manyPawns;
        }
        if (R == r + 1 && m2 == m + 1) {
            if (M == 1 && m <= 1) return P == 0 ? (8 - p) * 8 : (16 - p) * 8;
            return P == 0 ? (24 - p) * 4 : manyPawns;
        }
        return 128;
    }
    // D == 0
    if (m == m2 && R + 2 * Q == r + 2 * q) {
        if (M == 0 && m == 1) return P == 0 ? 0 : 32;
        if (M == 0 && m == 2) return P == 0 ? 4 : 32;
        return 128;
    }
    if (m == m2 + 2 && r == R + 1) {
        if (M == 0 && m == 2) return P == 0 ? (4 - p) * 8 : (16 - p) * 8;
        if (M == 0 && m == 3) return P == 0 ? (8 - p) * 8 : (32 - p) * 4;
        return P == 0 ? (24 - p) * 4 : (32 - p) * 4;
    }
    return 128;
}

}  // namespace

SideCounts countMaterial(const Position& p, Color side) {
    auto n = [&](int whiteCode) { return popcount(p.bitboards[whiteCode + side]); };
    return {n(WhitePawn),       n(WhiteKnight), n(WhiteLightBishop),
            n(WhiteDarkBishop), n(WhiteRook),   n(WhiteQueen)};
}

int materialBalance(const SideCounts& w, const SideCounts& b) {
    PackedScore packed = (minors(w) - minors(b)) * MinorValue +
                         (5 * (w.rooks - b.rooks) + (w.pawns - b.pawns)) * PawnValue +
                         (w.queens - b.queens) * QueenValue;
    if (hasBishopPair(w)) packed += BishopPair;
    if (hasBishopPair(b)) packed -= BishopPair;
    // Knights gain and rooks lose with every own pawn above five.
    int pawnAdjustment =
        5 * ((w.knights - w.rooks) * (w.pawns - 5) + (b.rooks - b.knights) * (b.pawns - 5));
    return pawnAdjustment + blendPhase(packed, phaseOf(w, b));
}

int materialScale(const SideCounts& side, const SideCounts& other) {
    return clampScale(scaleByRules(side, other));
}

void computeMaterial(const Position& p, MaterialEntry& e) {
    const SideCounts w = countMaterial(p, White), b = countMaterial(p, Black);
    const int balance = materialBalance(w, b);
    const bool whiteLeads = balance > 0;
    const int scale = whiteLeads ? materialScale(w, b) : materialScale(b, w);
    e.check = uint32_t(p.materialKey >> 32);
    e.material = int16_t(scale * balance / 128);
    e.leadingSide = whiteLeads ? 1 : 2;
    e.scale = uint8_t(scale);
    e.phase = uint8_t(phaseOf(w, b));
    e.flags[White] = flagsOf(w, b);
    e.flags[Black] = flagsOf(b, w);
}

const MaterialEntry& probeMaterial(const Position& p, MaterialTable& table) {
    MaterialEntry& e = table[p.materialKey & (MaterialTableSize - 1)];
    if (e.check != uint32_t(p.materialKey >> 32)) computeMaterial(p, e);
    return e;
}

namespace {

constexpr Bitboard FileA = 0x0101010101010101ull;
constexpr Bitboard FileH = FileA << 7;

constexpr Bitboard squares(std::initializer_list<int> list) {
    Bitboard b = 0;
    for (int s : list) b |= Bitboard(1) << s;
    return b;
}

// A rook pawn whose promotion square the bishop cannot cover, with the defending king in
// that corner: no progress is possible.
template <Color Us>
bool wrongBishopDraw(const Position& p) {
    constexpr Color Them = Us ^ 1;
    const Bitboard pawns = p.bitboards[WhitePawn + Us];
    // Seen from White, a8 is light and h8 dark; seen from Black, a1 is dark and h1 light.
    constexpr int queenSideBishop = Us == White ? WhiteLightBishop : BlackDarkBishop;
    constexpr int kingSideBishop = Us == White ? WhiteDarkBishop : BlackLightBishop;
    const Bitboard themKing = Bitboard(1) << p.kingSquare[Them];
    constexpr Bitboard queenCorner =
        Us == White ? squares({48, 49, 56, 57}) : squares({0, 1, 8, 9});
    constexpr Bitboard kingCorner =
        Us == White ? squares({54, 55, 62, 63}) : squares({6, 7, 14, 15});
    if (!(pawns & ~FileA) && !p.bitboards[queenSideBishop] && (themKing & queenCorner)) return true;
    if (!(pawns & ~FileH) && !p.bitboards[kingSideBishop] && (themKing & kingCorner)) return true;
    return false;
}

}  // namespace

int wrongBishopScale(const Position& p, const MaterialEntry& e) {
    if (e.leadingSide == 1 && (e.flags[White] & WrongBishop) && wrongBishopDraw<White>(p)) {
        return 0;
    }
    if (e.leadingSide == 2 && (e.flags[Black] & WrongBishop) && wrongBishopDraw<Black>(p)) {
        return 0;
    }
    return e.scale;
}

int kpkScale(const Position& p, const MaterialEntry& e) {
    // Seen from the pawn's side. The flag guarantees a single pawn on the board, so its owner
    // is also the side with positive material; testing the bitboards keeps a stale entry
    // from sending an empty set to lsb.
    int s, k;
    if (e.material > 0 && p.bitboards[WhitePawn]) {
        s = lsb(p.bitboards[WhitePawn]);
        k = p.kingSquare[Black];
    } else if (p.bitboards[BlackPawn]) {
        s = lsb(p.bitboards[BlackPawn]) ^ 56;
        k = p.kingSquare[White] ^ 56;
    } else {
        return 128;
    }
    const Bitboard kingBit = Bitboard(1) << k;
    if (fileOf(s) == 0) return (FrontSpan[White][s] & kingBit) || k == 49 || k == 57 ? 0 : 128;
    if (fileOf(s) == 7) return (FrontSpan[White][s] & kingBit) || k == 54 || k == 62 ? 0 : 128;
    const int r = rankOf(s);
    if (r <= 4 && (k == s + 8 || k == s + 16)) return 0;
    if (r == 5 && k == s + 8) return 0;
    return 128;
}
