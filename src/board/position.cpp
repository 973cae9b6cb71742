#include "board/position.h"

#include <cstring>

#include "board/tables.h"
#include "platform/random.h"

uint64_t PieceKey[16][64];
uint64_t EpKey[65];
uint64_t CastleKey[16];
uint64_t SideKey[2];
uint64_t MaterialKey[16][11];
uint64_t CastleRookKey[4][8];

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

    for (auto& right : CastleRookKey)
        for (uint64_t& k : right) k = rng.key();
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

    const uint8_t rights = p.castleRights & p.castleKept[from] & p.castleKept[to];
    const uint32_t oldEp = p.epSquare, oldSide = p.sideToMove;
    p.rule50 = (isPawn(mover) || captured) ? 0 : uint8_t(p.rule50 + 1);
    p.epSquare = NoSquare;
    p.sideToMove = uint32_t(color ^ 1);

    if (kind == KindCastle) {
        // King and rook leave before either lands: in Chess960 one may land on the other's
        // start, or not move at all, so the square sets are toggled, never or-ed.
        const CastleRook rook = castleRookFor(p.castleRooks, to);
        const int rookCode = WhiteRook + color;
        const Bitboard kingSquares = SquareBit[from] ^ SquareBit[to];
        const Bitboard rookSquares = SquareBit[rook.from] ^ SquareBit[rook.to];
        p.board[from] = Empty;
        p.board[rook.from] = Empty;
        p.board[to] = mover;
        p.board[rook.to] = rookCode;
        p.bitboards[mover] ^= kingSquares;
        p.bitboards[rookCode] ^= rookSquares;
        p.bitboards[color] ^= kingSquares ^ rookSquares;
        p.key ^= PieceKey[mover][from] ^ PieceKey[mover][to] ^ PieceKey[rookCode][rook.from] ^
                 PieceKey[rookCode][rook.to];
        p.psqScore += PieceSquareValue[mover][to] - PieceSquareValue[mover][from] +
                      PieceSquareValue[rookCode][rook.to] - PieceSquareValue[rookCode][rook.from];
        // A castling is a quiet move: the own rook on the king's destination is no capture.
        u.capturedPiece = Empty;
        p.rule50 = uint8_t(u.rule50 + 1);
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
    p.key ^= p.castleKeys[p.castleRights] ^ p.castleKeys[rights];
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
        const CastleRook rook = castleRookFor(p.castleRooks, to);
        const int rookCode = WhiteRook + (mover & 1);
        p.board[to] = Empty;
        p.board[rook.to] = Empty;
        p.board[from] = mover;
        p.board[rook.from] = rookCode;
        p.bitboards[mover] ^= SquareBit[from] ^ SquareBit[to];
        p.bitboards[rookCode] ^= SquareBit[rook.from] ^ SquareBit[rook.to];
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

void deriveCastling(Position& p) {
    for (int right = 0; right < 4; ++right) {
        // A rook square that cannot belong to the right (as in a record zeroed and filled by
        // hand) means the corner.
        const int base = right < 2 ? 0 : 56;
        const int s = p.castleRooks.square[right];
        const bool kingSide = (right & 1) == 0;
        if (s < base || s > base + 7 || fileOf(s) == (kingSide ? 0 : 7))
            p.castleRooks.square[right] = CornerRooks.square[right];
    }
    for (uint8_t& kept : p.castleKept) kept = 15;
    for (Color c = White; c <= Black; ++c) {
        // The king's start: its square while it stands on its first rank (a moved king has
        // no rights left to lose), else the e-file, as in standard chess.
        const int base = c == White ? 0 : 56;
        const int k = p.kingSquare[c];
        const int home = k >= base && k < base + 8 ? k : base + 4;
        p.castleKept[home] &= uint8_t(~(3 << (2 * c)));
        for (int right = 2 * c; right < 2 * c + 2; ++right)
            p.castleKept[p.castleRooks.square[right]] &= uint8_t(~(1 << right));
    }
    for (int rights = 0; rights < 16; ++rights) {
        uint64_t k = CastleKey[rights];
        for (int right = 0; right < 4; ++right) {
            const int s = p.castleRooks.square[right];
            if ((rights & (1 << right)) && s != CornerRooks.square[right])
                k ^= CastleRookKey[right][fileOf(s)];
        }
        p.castleKeys[rights] = k;
    }
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
