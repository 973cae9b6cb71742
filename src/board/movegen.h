// Move generation into scored move lists, and the validity test of stored move words.
#pragma once

#include "board/position.h"

constexpr int MaxMoves = 255;

struct MoveList {
    uint16_t cursor;  // read position of the consumer; generators leave it alone
    uint16_t count;
    Move moveWords[MaxMoves];
    int16_t scores[MaxMoves];
};

inline void clearList(MoveList& l) {
    l.cursor = l.count = 0;
}
// Appends unless the list is full: no generator ever writes past the 255 slots.
inline void pushMove(MoveList& l, Move m, int score) {
    if (l.count < MaxMoves) {
        l.moveWords[l.count] = m;
        l.scores[l.count] = int16_t(score);
        ++l.count;
    }
}

extern int32_t CaptureScore[16][16];

enum GeneratorKind : int { GenEvasions = 0, GenCaptures = 1, GenQuiets = 2, GenQuietChecks = 3 };

// Entry 2 * kind + side to move. Evasions and quiet checks ignore targets. Evasions need
// p.stack->pinned and a side to move in check.
using Generator = void (*)(Position& p, MoveList& list, Bitboard targets);
extern const Generator MoveGenerators[8];

inline void generateMoves(GeneratorKind kind, Position& p, MoveList& list,
                          Bitboard targets = AllSquares) {
    MoveGenerators[2 * kind + p.sideToMove](p, list, targets);
}

void sortMoves(MoveList& list);  // stable, highest score first

// Whether the side to move may castle with the right (0 K, 1 Q, 2 k, 3 q): the right, a king
// on its first rank with the right's rook on that side of it, every square between the king
// and its destination and between the rook and its destination empty but for these two, and
// no square of the king's way attacked with both lifted (a standard castling: the usual rule).
bool canCastle(const Position& p, int right);

// Is the word a pseudo-legal move of the side to move (king safety not tested)?
bool isValidMove(const Position& p, Move m);
