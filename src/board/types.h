// Encodings shared by every subsystem: squares, colours, piece codes, move words, packed scores.
#pragma once

#include <cstdint>

using Bitboard = uint64_t;
using Move = uint16_t;  // from bits 0-5, to bits 6-11, kind bits 12-15; 0 = no move
using Color = int;      // White or Black; the other side is side ^ 1

enum : int { White = 0, Black = 1 };

constexpr int NoSquare = 64;
constexpr Bitboard AllSquares = ~Bitboard(0);
constexpr Bitboard LightSquares = 0x55AA55AA55AA55AAull;

// Piece codes: colour in bit 0, bishops split by the colour of their square.
enum PieceCode : int {
    Empty = 0,
    WhitePawn = 2,
    BlackPawn = 3,
    WhiteKnight = 4,
    BlackKnight = 5,
    WhiteLightBishop = 6,
    BlackLightBishop = 7,
    WhiteDarkBishop = 8,
    BlackDarkBishop = 9,
    WhiteRook = 10,
    BlackRook = 11,
    WhiteQueen = 12,
    BlackQueen = 13,
    WhiteKing = 14,
    BlackKing = 15,
};

// Move kinds (bits 12-15); kinds 4..13 are promotions whose kind is the new piece's code.
constexpr Move KindNormal = 0x0000;
constexpr Move KindCastle = 0x1000;
constexpr Move KindEnPassant = 0x2000;
constexpr Move KindDoublePush = 0x3000;

constexpr int moveFrom(Move m) {
    return m & 63;
}
constexpr int moveTo(Move m) {
    return (m >> 6) & 63;
}
constexpr int moveKind(Move m) {
    return m & 0xF000;
}
constexpr bool isPromotion(Move m) {
    return (m & 0xF000) > 0x3000;
}
constexpr int promotionPiece(Move m) {
    return m >> 12;
}
constexpr Move makeMoveWord(int from, int to, int kind = KindNormal) {
    return Move(from | (to << 6) | kind);
}

constexpr int fileOf(int s) {
    return s & 7;
}
constexpr int rankOf(int s) {
    return s >> 3;
}
constexpr int colorOf(int code) {
    return code & 1;
}
constexpr bool isPawn(int code) {
    return code == WhitePawn || code == BlackPawn;
}
constexpr bool isKing(int code) {
    return code == WhiteKing || code == BlackKing;
}

// A middle-game and an end-game score in one word: mg * 65536 + eg, added as plain integers.
using PackedScore = int32_t;

constexpr PackedScore pack(int mg, int eg) {
    return PackedScore(uint32_t(mg) * 65536u + uint32_t(eg));
}
constexpr int unpackEg(PackedScore w) {
    return int16_t(uint16_t(uint32_t(w) & 0xFFFF));
}
constexpr int unpackMg(PackedScore w) {
    return int16_t(uint16_t(uint32_t((w >> 16) + (unpackEg(w) < 0 ? 1 : 0)) & 0xFFFF));
}

inline int lsb(Bitboard b) {
    return __builtin_ctzll(b);
}
inline int msb(Bitboard b) {
    return 63 - __builtin_clzll(b);
}
inline int popcount(Bitboard b) {
    return __builtin_popcountll(b);
}
inline int popLsb(Bitboard& b) {
    int s = __builtin_ctzll(b);
    b &= b - 1;
    return s;
}
