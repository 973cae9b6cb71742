#include "board/movetext.h"

#include "board/movegen.h"

namespace {

// Promotion letter of a promotion kind (4..13), else 0.
char promotionLetter(int kind) {
    if (kind < WhiteKnight || kind > BlackQueen) return 0;
    return kind <= BlackKnight       ? 'n'
           : kind <= BlackDarkBishop ? 'b'
           : kind <= BlackRook       ? 'r'
                                     : 'q';
}

}  // namespace

const char* moveToText(Move m, const CastlingRooks& rooks, bool chess960) {
    thread_local char text[6];
    const int from = moveFrom(m);
    int to = moveTo(m);
    if (moveKind(m) == KindCastle && (chess960 || !isStandardCastle(rooks, from, to)))
        to = castleRookFor(rooks, to).from;
    text[0] = char('a' + fileOf(from));
    text[1] = char('1' + rankOf(from));
    text[2] = char('a' + fileOf(to));
    text[3] = char('1' + rankOf(to));
    text[4] = promotionLetter(m >> 12);
    text[5] = 0;
    return text;
}

Move textToMove(Position& p, const char* text, bool chess960) {
    if (!text) return 0;
    char t[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 5 && text[i]; ++i) t[i] = text[i];
    if (!t[3]) return 0;
    const int from = (t[0] - 'a') + 8 * (t[1] - '1');
    const int to = (t[2] - 'a') + 8 * (t[3] - '1');
    const char letter = char(t[4] >= 'A' && t[4] <= 'Z' ? t[4] - 'A' + 'a' : t[4]);

    MoveList list;
    clearList(list);
    generateMoves(GenCaptures, p, list);
    generateMoves(GenQuiets, p, list);
    Move castle = 0;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moveWords[i];
        if (moveFrom(m) != from) continue;
        if (moveKind(m) == KindCastle) {
            // The king taking its rook always; the king's destination only with Chess960 off
            // (the king's step to that square, if there is one, goes first).
            if (to == castleRookFor(p.castleRooks, moveTo(m)).from ||
                (!chess960 && to == moveTo(m)))
                castle = m;
            continue;
        }
        if (moveTo(m) != to) continue;
        if (isPromotion(m) && promotionLetter(m >> 12) != letter) continue;
        return m;
    }
    return castle;
}
