#include "board/position.h"

#include <cstring>

#include "board/tables.h"
#include "platform/random.h"

uint64_t PieceKey[16][64];
uint64_t EpKey[65];
uint64_t CastleKey[16];
uint64_t SideKey[2];
uint64_t MaterialKey[16][11];
uint64_t CastleMoveKey[4];

namespace {

// The key source: splitmix64 with a fixed seed, so keys are the same in every run and on
// every platform. Only the low eight bits of a draw are used.
struct KeyRandom {
    uint64_t state = 0x2F6B1D5A7C3E9081ull;
    unsigned draw() { return unsigned(splitmix64(state)) & 0xFF; }
    // Eight draws, the first one the most significant byte.
    uint64_t key() {
        uint64_t k = 0;
        for (int i = 0; i < 8; ++i) k = (k << 8) | draw();
        return k;
    }
};

// Rights kept when a move touches a square: a king or rook home square loses its rights.
constexpr uint8_t rightsKeptFrom(int s) {
    return s == 4    ? 0xC
           : s == 7  ? 0xE
           : s == 0  ? 0xD
           : s == 60 ? 0x3
           : s == 63 ? 0xB
           : s == 56 ? 0x7
                     : 0xF;
}
struct RightsTable {
    uint8_t kept[64];
};
constexpr RightsTable makeRightsTable() {
    RightsTable t{};
    for (int s = 0; s < 64; ++s) t.kept[s] = rightsKeptFrom(s);
    return t;
}
constexpr RightsTable CastleRightsKept = makeRightsTable();

// Appends the new key. A full history keeps its newer half, which is all the repetition
// test can ever need (it stops at the fifty-move limit).
inline void pushKey(Position& p) {
    if (p.keyCount >= KeyHistorySize) {
        constexpr int keep = KeyHistorySize / 2;
        std::memmove(p.keyHistory, p.keyHistory + KeyHistorySize - keep, keep * sizeof(uint64_t));
        p.keyCount = keep;
    }
    p.keyHistory[p.keyCount++] = p.key;
}

inline void removePiece(Position& p, int code, int s) {
    const int n = popcount(p.bitboards[code]);
    p.bitboards[code] ^= SquareBit[s];
    p.bitboards[code & 1] ^= SquareBit[s];
    p.key ^= PieceKey[code][s];
    if (isPawn(code)) p.pawnKey ^= PieceKey[code][s];
    p.materialKey ^= MaterialKey[code][n] ^ MaterialKey[code][n - 1];
    p.psqScore -= PieceSquareValue[code][s];
}

}  // namespace

void initKeys() {
    KeyRandom rng;
    for (int code = 2; code < 16; ++code)
        for (int s = 0; s < 64; ++s) PieceKey[code][s] = rng.key();
    EpKey[64] = rng.key();
    for (int s = 16; s < 24; ++s) EpKey[s] = rng.key();
    for (int s = 40; s < 48; ++s) EpKey[s] = rng.key();
    for (int r = 0; r < 16; ++r) CastleKey[r] = rng.key();
    SideKey[White] = rng.key();
    SideKey[Black] = rng.key();
    for (int code = 2; code < 16; ++code)
        for (int n = 0; n <= 10; ++n) MaterialKey[code][n] = rng.key();

    CastleMoveKey[0] = PieceKey[WhiteRook][7] ^ PieceKey[WhiteRook][5] ^ PieceKey[WhiteKing][6] ^
                       PieceKey[WhiteKing][4];
    CastleMoveKey[1] = PieceKey[WhiteRook][0] ^ PieceKey[WhiteRook][3] ^ PieceKey[WhiteKing][2] ^
                       PieceKey[WhiteKing][4];
    CastleMoveKey[2] = PieceKey[BlackRook][63] ^ PieceKey[BlackRook][61] ^ PieceKey[BlackKing][62] ^
                       PieceKey[BlackKing][60];
    CastleMoveKey[3] = PieceKey[BlackRook][56] ^ PieceKey[BlackRook][59] ^ PieceKey[BlackKing][58] ^
                       PieceKey[BlackKing][60];
}

void makeMove(Position& p, UndoInfo& u, Move m) {
    const int from = moveFrom(m), to = moveTo(m), kind = moveKind(m);
    const int mover = p.board[from], color = mover & 1, captured = p.board[to];
    const Bitboard ft = SquareBit[from] | SquareBit[to];

    u.whitePieces = p.bitboards[0];
    u.blackPieces = p.bitboards[1];
    u.epSquare = p.epSquare;
    u.castleRights = p.castleRights;
    u.rule50 = p.rule50;
    u.sideToMove = p.sideToMove;
    u.kingSquare[0] = p.kingSquare[0];
    u.kingSquare[1] = p.kingSquare[1];
    u.key = p.key;
    u.pawnKey = p.pawnKey;
    u.materialKey = p.materialKey;
    u.psqScore = p.psqScore;
    u.movedPiece = mover;
    u.capturedPiece = captured;
    u.stack = p.stack;
    p.stack = nullptr;

    const uint8_t rights = p.castleRights & CastleRightsKept.kept[from] & CastleRightsKept.kept[to];
    const uint32_t oldEp = p.epSquare, oldSide = p.sideToMove;
    p.rule50 = (isPawn(mover) || captured) ? 0 : uint8_t(p.rule50 + 1);
    p.epSquare = NoSquare;
    p.sideToMove = uint32_t(color ^ 1);

    if (kind == KindCastle) {
        const CastleRook rook = castleRookFor(to);
        const int rookCode = WhiteRook + color;
        const Bitboard rookSquares = SquareBit[rook.from] | SquareBit[rook.to];
        p.board[from] = Empty;
        p.board[rook.from] = Empty;
        p.board[to] = mover;
        p.board[rook.to] = rookCode;
        p.bitboards[mover] ^= ft;
        p.bitboards[rookCode] ^= rookSquares;
        p.bitboards[color] ^= ft | rookSquares;
        p.key ^= CastleMoveKey[rook.keyIndex];
        p.psqScore += PieceSquareValue[mover][to] - PieceSquareValue[mover][from] +
                      PieceSquareValue[rookCode][rook.to] - PieceSquareValue[rookCode][rook.from];
    } else {
        if (captured) removePiece(p, captured, to);
        p.board[from] = Empty;
        p.bitboards[color] ^= ft;
        if (kind > KindDoublePush) {
            const int promoted = m >> 12;
            const int np = popcount(p.bitboards[mover]), nn = popcount(p.bitboards[promoted]);
            p.board[to] = promoted;
            p.bitboards[mover] ^= SquareBit[from];
            p.bitboards[promoted] ^= SquareBit[to];
            p.key ^= PieceKey[promoted][to] ^ PieceKey[mover][from];
            p.pawnKey ^= PieceKey[mover][from];
            p.materialKey ^= MaterialKey[mover][np] ^ MaterialKey[mover][np - 1] ^
                             MaterialKey[promoted][nn] ^ MaterialKey[promoted][nn + 1];
            p.psqScore += PieceSquareValue[promoted][to] - PieceSquareValue[mover][from];
        } else {
            const uint64_t moveKey = PieceKey[mover][from] ^ PieceKey[mover][to];
            p.board[to] = mover;
            p.bitboards[mover] ^= ft;
            p.key ^= moveKey;
            p.psqScore += PieceSquareValue[mover][to] - PieceSquareValue[mover][from];
            if (isPawn(mover)) {
                p.pawnKey ^= moveKey;
                if (kind == KindDoublePush) {
                    p.epSquare = uint32_t(color == White ? to - 8 : to + 8);
                } else if (kind == KindEnPassant) {
                    const int victimSquare = color == White ? to - 8 : to + 8;
                    p.board[victimSquare] = Empty;
                    removePiece(p, BlackPawn - color, victimSquare);
                }
            }
        }
    }

    if (isKing(mover)) p.kingSquare[color] = to;
    p.key ^= CastleKey[p.castleRights] ^ CastleKey[rights];
    p.key ^= EpKey[oldEp] ^ EpKey[p.epSquare];
    p.key ^= SideKey[oldSide] ^ SideKey[p.sideToMove];
    p.castleRights = rights;
    pushKey(p);
}

void unmakeMove(Position& p, const UndoInfo& u, Move m) {
    const int from = moveFrom(m), to = moveTo(m), kind = moveKind(m);
    const int mover = u.movedPiece, captured = u.capturedPiece;
    const Bitboard ft = SquareBit[from] | SquareBit[to];

    p.bitboards[0] = u.whitePieces;
    p.bitboards[1] = u.blackPieces;
    p.epSquare = u.epSquare;
    p.sideToMove = u.sideToMove;
    p.castleRights = u.castleRights;
    p.rule50 = u.rule50;
    p.kingSquare[0] = u.kingSquare[0];
    p.kingSquare[1] = u.kingSquare[1];
    p.psqScore = u.psqScore;
    p.key = u.key;
    p.materialKey = u.materialKey;
    p.pawnKey = u.pawnKey;
    p.stack = u.stack;

    if (kind == KindCastle) {
        const CastleRook rook = castleRookFor(to);
        const int rookCode = WhiteRook + (mover & 1);
        p.board[to] = Empty;
        p.board[rook.to] = Empty;
        p.board[from] = mover;
        p.board[rook.from] = rookCode;
        p.bitboards[mover] ^= ft;
        p.bitboards[rookCode] ^= SquareBit[rook.from] | SquareBit[rook.to];
    } else {
        p.board[from] = mover;
        p.board[to] = captured;
        if (kind > KindDoublePush) {
            p.bitboards[mover] ^= SquareBit[from];
            p.bitboards[m >> 12] ^= SquareBit[to];
        } else {
            p.bitboards[mover] ^= ft;
            if (kind == KindEnPassant) {
                const int victim = BlackPawn - (mover & 1);
                const int victimSquare = mover == WhitePawn ? to - 8 : to + 8;
                p.board[victimSquare] = victim;
                p.bitboards[victim] ^= SquareBit[victimSquare];
            }
        }
        if (captured) p.bitboards[captured] ^= SquareBit[to];
    }
    --p.keyCount;
}

void makeNullMove(Position& p, UndoInfo& u) {
    u.rule50 = p.rule50;
    u.key = p.key;
    u.stack = p.stack;
    u.sideToMove = p.sideToMove;
    u.epSquare = p.epSquare;
    p.stack = nullptr;
    p.rule50 = 0;
    p.key ^=
        SideKey[p.sideToMove] ^ SideKey[p.sideToMove ^ 1] ^ EpKey[p.epSquare] ^ EpKey[NoSquare];
    p.epSquare = NoSquare;
    p.sideToMove ^= 1;
    pushKey(p);
}

void unmakeNullMove(Position& p, const UndoInfo& u) {
    --p.keyCount;
    p.sideToMove = u.sideToMove;
    p.epSquare = u.epSquare;
    p.rule50 = u.rule50;
    p.key = u.key;
    p.stack = u.stack;
}
