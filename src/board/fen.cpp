#include "board/fen.h"

#include <cstring>

#include "board/attacks.h"
#include "board/tables.h"

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

// The castling fields the reader knows, in the order it looks for them, with the rights
// each gives and the length of the field.
struct CastlePattern {
    const char* text;
    uint8_t rights;
    int length;
};
constexpr CastlePattern CastlePatterns[] = {
    {" KQkq ", 15, 4}, {" K ", 1, 1},   {" Q ", 2, 1},    {" k ", 4, 1},    {" q ", 8, 1},
    {" KQ ", 3, 2},    {" Kk ", 5, 2},  {" Kq ", 9, 2},   {" Qk ", 6, 2},   {" Qq ", 10, 2},
    {" kq ", 12, 2},   {" KQk ", 7, 3}, {" KQq ", 11, 3}, {" Kkq ", 13, 3}, {" Qkq ", 14, 3},
};

// Piece code of a FEN letter on square s, or 0 for a character that is no piece.
int pieceCode(char c, int s) {
    const int bishop = (LightSquares & SquareBit[s]) ? WhiteLightBishop : WhiteDarkBishop;
    switch (c) {
        case 'P':
            return WhitePawn;
        case 'N':
            return WhiteKnight;
        case 'B':
            return bishop;
        case 'R':
            return WhiteRook;
        case 'Q':
            return WhiteQueen;
        case 'K':
            return WhiteKing;
        case 'p':
            return BlackPawn;
        case 'n':
            return BlackKnight;
        case 'b':
            return bishop + 1;
        case 'r':
            return BlackRook;
        case 'q':
            return BlackQueen;
        case 'k':
            return BlackKing;
        default:
            return Empty;
    }
}

bool isFenPiece(char c) {
    return c != '\0' && std::strchr("PNBRQKpnbrqk", c) != nullptr;
}

// Reads like atoi, but keeps only the low eight bits and never overflows on long digit runs.
uint8_t readCounter(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    uint32_t n = 0;
    for (; *s >= '0' && *s <= '9'; ++s) n = n * 10 + uint32_t(*s - '0');
    return uint8_t(negative ? 0u - n : n);
}

// The square of the colour's king on its first rank, or -1.
int homeKing(const Position& p, Color c) {
    const int base = c == White ? 0 : 56;
    for (int s = base; s < base + 8; ++s)
        if (p.board[s] == WhiteKing + c) return s;
    return -1;
}

// The outermost rook of the colour on its first rank on one side of its king, or -1.
int outermostRook(const Position& p, Color c, int king, bool kingSide) {
    const int base = c == White ? 0 : 56;
    if (kingSide) {
        for (int s = base + 7; s > king; --s)
            if (p.board[s] == WhiteRook + c) return s;
    } else {
        for (int s = base; s < king; ++s)
            if (p.board[s] == WhiteRook + c) return s;
    }
    return -1;
}

// Rook squares for rights given as K, Q, k, q: the outermost rook on that side of a king on
// its first rank, so that a Chess960 start written with KQkq castles with its own rooks. With
// no such rook the right keeps its corner, and the generator ignores it as before.
void cornerLetterRooks(Position& p) {
    for (int right = 0; right < 4; ++right) {
        p.castleRooks.square[right] = CornerRooks.square[right];
        if (!(p.castleRights & (1 << right))) continue;
        const Color c = Color(right >> 1);
        const int king = homeKing(p, c);
        const int rook = king < 0 ? -1 : outermostRook(p, c, king, (right & 1) == 0);
        if (rook >= 0) p.castleRooks.square[right] = uint8_t(rook);
    }
}

// A castling field in Shredder-FEN or X-FEN (file letters, or K/Q/k/q mixed with them) of
// `length` characters. Each letter gives the right on its side of the king, with the rook on
// its file (K/Q: the outermost rook); a right whose king or rook is not on the first rank is
// dropped, and the first letter for a right wins. False when the field is no such field.
bool readRookFileRights(Position& p, const char* field, size_t length) {
    if (length == 0 || length > 8) return false;
    bool anyFile = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = field[i];
        const bool file = (c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h');
        if (!file && !std::strchr("KQkq", c)) return false;
        anyFile = anyFile || file;
    }
    if (!anyFile) return false;
    p.castleRights = 0;
    p.castleRooks = CornerRooks;
    for (size_t i = 0; i < length; ++i) {
        const char c = field[i];
        const Color color = (c >= 'a' && c <= 'z') ? Black : White;
        const int base = color == White ? 0 : 56;
        const int king = homeKing(p, color);
        if (king < 0) continue;
        int rook = -1;
        bool kingSide = false;
        if (c == 'K' || c == 'k' || c == 'Q' || c == 'q') {
            kingSide = c == 'K' || c == 'k';
            rook = outermostRook(p, color, king, kingSide);
        } else {
            rook = base + (color == White ? c - 'A' : c - 'a');
            if (p.board[rook] != WhiteRook + color) continue;
            kingSide = rook > king;
        }
        if (rook < 0) continue;
        const int right = 2 * color + (kingSide ? 0 : 1);
        if (p.castleRights & (1 << right)) continue;
        p.castleRights = uint8_t(p.castleRights | (1 << right));
        p.castleRooks.square[right] = uint8_t(rook);
    }
    return true;
}

// Keeps an en-passant square only when a double push just made can explain it.
uint32_t normalisedEpSquare(const Position& p) {
    const uint32_t ep = p.epSquare;
    if (p.sideToMove == White)
        return ep >= 40 && ep < 48 && p.board[ep] == Empty && p.board[ep - 8] == BlackPawn
                   ? ep
                   : NoSquare;
    return ep >= 16 && ep < 24 && p.board[ep] == Empty && p.board[ep + 8] == WhitePawn ? ep
                                                                                       : NoSquare;
}

}  // namespace

void parseFen(Position& p, const char* fen) {
    const char* f = fen ? fen : "";
    const size_t length = std::strlen(f);
    auto at = [&](size_t i) { return i < length ? f[i] : '\0'; };

    // Board: squares run from a8 to h1; characters that are no piece and no digit take no
    // square, and squares past h1 are dropped.
    size_t i = 0;
    if (at(0) != ' ') {
        int s = 63;
        for (; i < length && f[i] != ' '; ++i) {
            const char c = f[i];
            int squares = 0, code = Empty;
            if (c >= '1' && c <= '8') {
                squares = c - '0';
            } else if (isFenPiece(c)) {
                squares = 1;
                if (s >= 0) code = pieceCode(c, s ^ 7);
            }
            for (; squares > 0 && s >= 0; --squares, --s) p.board[s ^ 7] = code;
        }
    }

    p.sideToMove = at(i + 1) == 'w' ? White : Black;

    size_t next = i + 3;
    p.castleRights = 0;
    p.castleRooks = CornerRooks;
    if (at(next) == '-') {
        next += 2;
    } else {
        bool found = false;
        for (const CastlePattern& c : CastlePatterns) {
            if (std::strstr(f, c.text)) {
                p.castleRights = c.rights;
                next += size_t(c.length) + 1;
                found = true;
                break;
            }
        }
        if (found) {
            cornerLetterRooks(p);
        } else if (next < length) {
            size_t fieldLength = 0;
            while (next + fieldLength < length && f[next + fieldLength] != ' ') ++fieldLength;
            if (readRookFileRights(p, f + next, fieldLength)) next += fieldLength + 1;
        }
    }

    size_t half;
    if (at(next) == '-') {
        p.epSquare = NoSquare;
        half = next + 2;
    } else {
        const int ep = (at(next) - 'a') + 8 * (at(next + 1) - '1');
        p.epSquare = ep >= 0 && ep < 64 ? uint32_t(ep) : NoSquare;
        half = next + 3;
    }

    p.rule50 = half < length ? readCounter(f + half) : 0;
}

void computeKeys(Position& p) {
    p.key = p.pawnKey = p.materialKey = 0;
    for (int s = 0; s < 64; ++s) {
        const int code = p.board[s];
        if (code == Empty) continue;
        p.key ^= PieceKey[code][s];
        if (isPawn(code)) p.pawnKey ^= PieceKey[code][s];
    }
    p.key ^= p.castleKeys[p.castleRights] ^ EpKey[p.epSquare] ^ SideKey[p.sideToMove];
    // Counts above ten only occur in positions the search refuses; the clamp keeps the
    // table read in bounds.
    for (int code = WhitePawn; code <= BlackKing; ++code) {
        const int n = popcount(p.bitboards[code]);
        p.materialKey ^= MaterialKey[code][n > 10 ? 10 : n];
    }
}

void derivePosition(Position& p) {
    p.sideToMove &= 1;
    p.castleRights &= 15;
    for (Bitboard& b : p.bitboards) b = 0;
    p.psqScore = 0;
    for (int s = 0; s < 64; ++s) {
        const int code = p.board[s];
        if (code < WhitePawn || code > BlackKing) {
            p.board[s] = Empty;
            continue;
        }
        p.bitboards[code & 1] |= SquareBit[s];
        p.bitboards[code] |= SquareBit[s];
        p.psqScore += PieceSquareValue[code][s];
    }
    // A missing king leaves a1, so that every table read stays in range.
    p.kingSquare[White] = p.bitboards[WhiteKing] ? lsb(p.bitboards[WhiteKing]) : 0;
    p.kingSquare[Black] = p.bitboards[BlackKing] ? lsb(p.bitboards[BlackKing]) : 0;
    p.epSquare = normalisedEpSquare(p);
    deriveCastling(p);
    computeKeys(p);
    p.keyHistory[0] = p.key;
    p.keyCount = 1;
}

void loadFen(Position& p, const char* fen) {
    std::memset(&p, 0, sizeof p);
    parseFen(p, fen);
    derivePosition(p);
}

bool isSearchable(const Position& p) {
    if (popcount(p.bitboards[WhiteKing]) != 1 || popcount(p.bitboards[BlackKing]) != 1)
        return false;
    constexpr Bitboard FirstAndLastRank = 0xFF000000000000FFull;
    if ((p.bitboards[WhitePawn] | p.bitboards[BlackPawn]) & FirstAndLastRank) return false;
    for (Color c = White; c <= Black; ++c) {
        const int pawns = popcount(p.bitboards[WhitePawn + c]);
        if (pawns > 8 || popcount(p.bitboards[c]) > 16) return false;
        // Every promotion could land on one code; the material key counts only up to ten.
        for (int code = WhiteKnight + c; code <= WhiteQueen + c; code += 2)
            if (popcount(p.bitboards[code]) + pawns > 10) return false;
    }
    const Color them = Color(p.sideToMove ^ 1);
    return !isSquareAttacked(p, p.kingSquare[them], Color(p.sideToMove));
}
