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

// Where each castling right's rook starts, by right (0 K, 1 Q, 2 k, 3 q). In a standard
// game these are the corners; a Chess960 start may put them on any file of the first rank.
// Fixed for a game: moves only ever clear rights, never move a right's rook square.
struct CastlingRooks {
    uint8_t square[4];
};
constexpr CastlingRooks CornerRooks = {{7, 0, 63, 56}};

struct Position {
    int32_t board[64];
    Bitboard bitboards[16];  // 0/1: all pieces of a colour; 2..15: squares of that piece code
    uint32_t epSquare;       // 64 = none
    uint8_t castleRights;    // 1 K, 2 Q, 4 k, 8 q
    uint8_t rule50;
    CastlingRooks castleRooks;
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
    // Derived from the kings and castleRooks at set-up, so that making a move needs no test
    // of where the castling pieces started: the rights a move keeps when it touches a square,
    // and the key of each rights value (CastleKey plus the keys of non-corner rooks).
    uint8_t castleKept[64];
    uint64_t castleKeys[16];
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
// One key per right and rook file, for rights whose rook is not on its corner; drawn after
// every other key, so that the keys of standard positions stay what they were.
extern uint64_t CastleRookKey[4][8];

// Piece-square values read by make/unmake; the evaluation fills them at start-up.
extern PackedScore PieceSquareValue[16][64];

void initKeys();
// castleKept and castleKeys from the king squares and castleRooks (a rook square that cannot
// be the right's is set to its corner); part of deriving a position from its board.
void deriveCastling(Position& p);

void makeMove(Position& p, UndoInfo& u, Move m);
void unmakeMove(Position& p, const UndoInfo& u, Move m);
void makeNullMove(Position& p, UndoInfo& u);
void unmakeNullMove(Position& p, const UndoInfo& u);

// A castling move is the word (king's square, king's destination g1/c1/g8/c8, KindCastle),
// whatever the start: so a standard castling keeps its word, and a Chess960 castling whose
// king steps onto g1, or does not move at all, is never taken for a king move. The rook
// comes from the position's castleRooks.
struct CastleRook {
    int from, to, right;  // right: index 0..3 into castleRooks, bit 1 << right of the rights
};
constexpr int castleRightIndex(int kingTo) {
    return kingTo == 6 ? 0 : kingTo == 2 ? 1 : kingTo == 62 ? 2 : 3;
}
constexpr CastleRook castleRookFor(const CastlingRooks& rooks, int kingTo) {
    const int right = castleRightIndex(kingTo);
    constexpr int rookTo[4] = {5, 3, 61, 59};
    return CastleRook{rooks.square[right], rookTo[right], right};
}
// Whether the castling to kingTo is the one of standard chess: king from the e-file to its
// corner rook. Only such a castling is written as the king's move while Chess960 is off.
constexpr bool isStandardCastle(const CastlingRooks& rooks, int kingFrom, int kingTo) {
    const int right = castleRightIndex(kingTo);
    return kingFrom == (right < 2 ? 4 : 60) && rooks.square[right] == CornerRooks.square[right];
}

inline Bitboard occupancy(const Position& p) {
    return p.bitboards[0] | p.bitboards[1];
}
