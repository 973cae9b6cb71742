// The game position record, its hash keys, and making and unmaking moves.
#pragma once

#include "board/types.h"

// The search's per-ply record. It lives in the board layer because legality tests,
// the evasion generator and the move picker read it through Position::stack.
struct SearchStackEntry {
    uint32_t inCheck;
    Bitboard pinned;
    Move hashMove;
    Move killer1;
    Move killer2;
    uint32_t lastTacticalTo;  // 64 = none yet
};

// Ordering memory of quiet moves, by moving piece code and to-square, kept within
// -32000..32000. Each searching thread has its own; the quiet generator reads the one the
// position points at.
using HistoryTable = int32_t[16][64];

constexpr int KeyHistorySize = 1024;
// "position" never fills the key history beyond this, so a search always has room.
constexpr int KeyHistoryReserve = 300;

struct Position {
    int32_t board[64];
    Bitboard bitboards[16];  // 0/1: all pieces of a colour; 2..15: squares of that piece code
    uint32_t epSquare;       // 64 = none
    uint8_t castleRights;    // 1 K, 2 Q, 4 k, 8 q
    uint8_t rule50;
    uint32_t sideToMove;
    int32_t kingSquare[2];
    uint64_t key;
    uint64_t pawnKey;
    uint64_t materialKey;
    PackedScore psqScore;
    int32_t keyCount;
    uint64_t keyHistory[KeyHistorySize];
    SearchStackEntry* stack;
    // The searching thread's history; null outside a search, which orders quiet moves alike.
    const HistoryTable* history;
};

struct UndoInfo {
    Bitboard whitePieces;
    Bitboard blackPieces;
    uint32_t epSquare;
    uint8_t castleRights;
    uint8_t rule50;
    uint32_t sideToMove;
    int32_t kingSquare[2];
    uint64_t key;
    uint64_t pawnKey;
    uint64_t materialKey;
    PackedScore psqScore;
    int32_t movedPiece;
    int32_t capturedPiece;
    SearchStackEntry* stack;
};

extern uint64_t PieceKey[16][64];
extern uint64_t EpKey[65];
extern uint64_t CastleKey[16];
extern uint64_t SideKey[2];
extern uint64_t MaterialKey[16][11];
extern uint64_t CastleMoveKey[4];

// Piece-square values read by make/unmake; the evaluation fills them at start-up.
extern PackedScore PieceSquareValue[16][64];

void initKeys();

void makeMove(Position& p, UndoInfo& u, Move m);
void unmakeMove(Position& p, const UndoInfo& u, Move m);
void makeNullMove(Position& p, UndoInfo& u);
void unmakeNullMove(Position& p, const UndoInfo& u);

// The rook's squares of the four castling moves, by the king's to-square.
struct CastleRook {
    int from, to, keyIndex;
};
constexpr CastleRook castleRookFor(int kingTo) {
    return kingTo == 6    ? CastleRook{7, 5, 0}
           : kingTo == 2  ? CastleRook{0, 3, 1}
           : kingTo == 62 ? CastleRook{63, 61, 2}
                          : CastleRook{56, 59, 3};
}

inline Bitboard occupancy(const Position& p) {
    return p.bitboards[0] | p.bitboards[1];
}
