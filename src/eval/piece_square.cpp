#include <array>

#include "eval/eval.h"

PackedScore PieceSquareValue[16][64];

namespace {

// White's values, laid out as the board is seen from White's side: the first row is rank 8,
// the first column file a. The a-side and h-side are deliberately not mirror images
// everywhere (queen c8/f8, king end game b4/g4 and c3/f3).
using Board = std::array<int, 64>;

constexpr Board PawnMg = {
    0,   0,   0,  0, 0, 0,  0,   0,    //
    -17, -5,  1,  8, 8, 1,  -5,  -17,  //
    -18, -6,  0,  7, 7, 0,  -6,  -18,  //
    -19, -7,  -1, 6, 6, -1, -7,  -19,  //
    -21, -9,  -3, 4, 4, -3, -9,  -21,  //
    -22, -10, -4, 3, 3, -4, -10, -22,  //
    -23, -11, -5, 2, 2, -5, -11, -23,  //
    0,   0,   0,  0, 0, 0,  0,   0,
};
constexpr Board PawnEg = {
    0,  0,  0,   0,   0,   0,   0,  0,   //
    -2, -4, -6,  -8,  -8,  -6,  -4, -2,  //
    -4, -6, -8,  -10, -10, -8,  -6, -4,  //
    -5, -7, -9,  -11, -11, -9,  -7, -5,  //
    -6, -8, -10, -12, -12, -10, -8, -6,  //
    -7, -9, -11, -13, -13, -11, -9, -7,  //
    -7, -9, -11, -13, -13, -11, -9, -7,  //
    0,  0,  0,   0,   0,   0,   0,  0,
};
constexpr Board KnightMg = {
    -120, -21, -10, -6,  -6,  -10, -21, -120,  //
    -16,  0,   11,  15,  15,  11,  0,   -16,   //
    -7,   9,   20,  24,  24,  20,  9,   -7,    //
    -5,   11,  22,  26,  26,  22,  11,  -5,    //
    -11,  5,   16,  20,  20,  16,  5,   -11,   //
    -20,  -4,  7,   11,  11,  7,   -4,  -20,   //
    -36,  -20, -9,  -5,  -5,  -9,  -20, -36,   //
    -58,  -42, -31, -27, -27, -31, -42, -58,
};
constexpr Board KnightEg = {
    -15, -10, -5,  -2, -2, -5,  -10, -15,  //
    -8,  -1,  3,   5,  5,  3,   -1,  -8,   //
    -3,  3,   8,   10, 10, 8,   3,   -3,   //
    -4,  1,   6,   10, 10, 6,   1,   -4,   //
    -6,  -1,  4,   8,  8,  4,   -1,  -6,   //
    -10, -4,  1,   3,  3,  1,   -4,  -10,  //
    -15, -8,  -4,  -2, -2, -4,  -8,  -15,  //
    -22, -17, -12, -9, -9, -12, -17, -22,
};
constexpr Board BishopMg = {
    -2, -3, -6,  -8,  -8,  -6,  -3, -2,  //
    -3, 3,  0,   -2,  -2,  0,   3,  -3,  //
    -6, 0,  7,   6,   6,   7,   0,  -6,  //
    -8, -2, 6,   15,  15,  6,   -2, -8,  //
    -8, -2, 6,   15,  15,  6,   -2, -8,  //
    -6, 0,  7,   6,   6,   7,   0,  -6,  //
    -3, 3,  0,   -2,  -2,  0,   3,  -3,  //
    -7, -8, -11, -13, -13, -11, -8, -7,
};
constexpr Board BishopEg = {
    0,  -1, -2, -2, -2, -2, -1, 0,   //
    -1, 1,  0,  0,  0,  0,  1,  -1,  //
    -2, 0,  3,  2,  2,  3,  0,  -2,  //
    -2, 0,  2,  5,  5,  2,  0,  -2,  //
    -2, 0,  2,  5,  5,  2,  0,  -2,  //
    -2, 0,  3,  2,  2,  3,  0,  -2,  //
    -1, 1,  0,  0,  0,  0,  1,  -1,  //
    0,  -1, -2, -2, -2, -2, -1, 0,
};
constexpr Board RookMg = {
    -2, -1, 0, 1, 1, 0, -1, -2,  //
    -2, -1, 0, 1, 1, 0, -1, -2,  //
    -2, -1, 0, 1, 1, 0, -1, -2,  //
    -2, -1, 0, 1, 1, 0, -1, -2,  //
    -2, -1, 0, 1, 1, 0, -1, -2,  //
    -1, -1, 1, 2, 2, 1, -1, -1,  //
    -1, -1, 1, 2, 2, 1, -1, -1,  //
    0,  -1, 2, 3, 3, 2, -1, 0,
};
constexpr Board RookEg = {
    0, 0, 0, 0, 0, 0, 0, 0,  //
    1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1,  //
    0, 0, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 0, 0,
};
constexpr Board Queen = {
    -3, -2, -1, 0,  0,  1,  -2, -3,  //
    -2, -1, 0,  1,  1,  0,  -1, -2,  //
    -1, 0,  1,  2,  2,  1,  0,  -1,  //
    0,  1,  2,  3,  3,  2,  1,  0,   //
    -1, 0,  1,  2,  2,  1,  0,  -1,  //
    -2, -1, 0,  1,  1,  0,  -1, -2,  //
    -3, -2, -1, 0,  0,  -1, -2, -3,  //
    -4, -3, -2, -1, -1, -2, -3, -4,
};
constexpr Board KingMg = {
    6,  9,  -21, -39, -39, -21, 9,  6,   //
    15, 21, -9,  -30, -30, -9,  21, 15,  //
    24, 30, 0,   -21, -21, 0,   30, 24,  //
    30, 36, 6,   -15, -15, 6,   36, 30,  //
    36, 39, 9,   -9,  -9,  9,   39, 36,  //
    39, 42, 12,  -6,  -6,  12,  42, 39,  //
    42, 45, 15,  -3,  -3,  15,  45, 42,  //
    45, 48, 18,  0,   0,   18,  48, 45,
};
constexpr Board KingEg = {
    -48, -30, -15, -9,  -9,  -15, -30, -48,  //
    -36, -9,  3,   9,   9,   3,   -9,  -36,  //
    -24, -3,  12,  18,  18,  12,  -3,  -24,  //
    -18, 3,   18,  27,  27,  18,  3,   -18,  //
    -24, -3,  12,  21,  21,  12,  -1,  -24,  //
    -27, -9,  6,   12,  12,  9,   -9,  -27,  //
    -39, -15, -3,  3,   3,   -3,  -15, -39,  //
    -54, -54, -34, -28, -28, -34, -54, -54,
};

void fillWhite(int code, const Board& mg, const Board& eg) {
    for (int s = 0; s < 64; ++s) {
        int row = (7 - rankOf(s)) * 8 + fileOf(s);
        PieceSquareValue[code][s] = pack(mg[row], eg[row]);
    }
}

}  // namespace

void buildPieceSquareTables() {
    fillWhite(WhitePawn, PawnMg, PawnEg);
    fillWhite(WhiteKnight, KnightMg, KnightEg);
    fillWhite(WhiteLightBishop, BishopMg, BishopEg);
    fillWhite(WhiteDarkBishop, BishopMg, BishopEg);
    fillWhite(WhiteRook, RookMg, RookEg);
    fillWhite(WhiteQueen, Queen, Queen);
    fillWhite(WhiteKing, KingMg, KingEg);
    // Black's value is White's on the mirrored square, negated, so that symmetric
    // positions sum to zero.
    for (int code = WhitePawn; code <= WhiteKing; code += 2) {
        for (int s = 0; s < 64; ++s) {
            PieceSquareValue[code + 1][s] = -PieceSquareValue[code][s ^ 56];
        }
    }
}
