// The referee's board: which moves are legal, when a game is over, and the record's move text.
// Everything is decided by the engine's own board code.
#pragma once

#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "board/position.h"

namespace selfplay {

enum class Ending { None, Checkmate, Stalemate, FiftyMoves, Repetition, Material };

struct GameBoard {
    std::string startFen;
    Position pos;
    // Repetition key of every position of the game, the start included. The position's own
    // key history is bounded; a game is not.
    std::vector<uint64_t> keys;
    std::vector<std::string> moveTexts;  // coordinate text, as sent to the engines
    std::vector<std::string> sanTexts;   // standard algebraic text, for the record
    // The engines play with "UCI_Chess960" on: castling is the king taking its own rook.
    bool chess960 = false;
};

inline bool inCheck(const Position& p) {
    return isSquareAttacked(p, p.kingSquare[p.sideToMove], p.sideToMove ^ 1);
}

// The key under which the repetition rule compares positions: the en-passant square, which
// the position keeps after every double push, counts only when the capture is legal.
inline uint64_t repetitionKey(Position& p) {
    if (p.epSquare == NoSquare) return p.key;
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i)
        if (moveKind(legal.moveWords[i]) == KindEnPassant) return p.key;
    return p.key ^ EpKey[p.epSquare] ^ EpKey[NoSquare];
}

// Sets the board up from a FEN text; false when the position is not one a game can be played
// from (a king missing, the side not to move in check, ...).
inline bool resetBoard(GameBoard& g, const std::string& fen) {
    g.startFen = fen;
    loadFen(g.pos, fen.c_str());
    g.pos.stack = nullptr;
    g.keys.assign(1, isSearchable(g.pos) ? repetitionKey(g.pos) : g.pos.key);
    g.moveTexts.clear();
    g.sanTexts.clear();
    return isSearchable(g.pos);
}

// The legal move that the text names, or 0. The text must be exactly the move's coordinate
// text: the reader of the "position" command is lenient about a fifth character, the
// referee is not.
inline Move parseLegalMove(Position& p, const std::string& text, bool chess960) {
    if (text.size() != 4 && text.size() != 5) return 0;
    Move m = textToMove(p, text.c_str(), chess960);
    if (m == 0 || text != moveToText(p, m, chess960)) return 0;
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i)
        if (legal.moveWords[i] == m) return m;
    return 0;
}

// Both bishop codes of a colour share the letter.
inline char pieceLetter(int code) {
    return " PNBBRQK"[(code >> 1) & 7];
}

// Standard algebraic text of a legal move, without its check suffix.
inline std::string sanWithoutSuffix(Position& p, Move m) {
    int from = moveFrom(m), to = moveTo(m);
    auto square = [](int s) { return std::string{char('a' + fileOf(s)), char('1' + rankOf(s))}; };
    if (moveKind(m) == KindCastle) return fileOf(to) == 6 ? "O-O" : "O-O-O";
    int piece = p.board[from];
    bool capture = p.board[to] != Empty || moveKind(m) == KindEnPassant;
    std::string text;
    if (isPawn(piece)) {
        if (capture) text += char('a' + fileOf(from));
    } else {
        text += pieceLetter(piece);
        // Name the from-square's file, else its rank, else both, when another piece of the
        // same kind can reach the same square.
        MoveList legal;
        generateLegalMoves(p, legal);
        bool ambiguous = false, sameFile = false, sameRank = false;
        for (int i = 0; i < legal.count; ++i) {
            Move other = legal.moveWords[i];
            int otherFrom = moveFrom(other);
            if (otherFrom == from || moveTo(other) != to ||
                pieceLetter(p.board[otherFrom]) != pieceLetter(piece))
                continue;
            ambiguous = true;
            sameFile |= fileOf(otherFrom) == fileOf(from);
            sameRank |= rankOf(otherFrom) == rankOf(from);
        }
        if (ambiguous) {
            if (!sameFile)
                text += char('a' + fileOf(from));
            else if (!sameRank)
                text += char('1' + rankOf(from));
            else
                text += square(from);
        }
    }
    if (capture) text += 'x';
    text += square(to);
    if (isPromotion(m)) {
        text += '=';
        text += pieceLetter(promotionPiece(m));
    }
    return text;
}

// Three occurrences of the position, counted back to the last capture or pawn move.
inline bool isThreefold(const GameBoard& g) {
    int last = int(g.keys.size()) - 1;
    int occurrences = 0;
    for (int i = last; i >= 0 && last - i <= g.pos.rule50; i -= 2)
        if (g.keys[size_t(i)] == g.keys.back()) ++occurrences;
    return occurrences >= 3;
}

// Neither side can ever mate: bare kings, a single minor piece, or only bishops that all
// stand on squares of one colour.
inline bool isInsufficientMaterial(const Position& p) {
    const Bitboard* b = p.bitboards;
    if (b[WhitePawn] | b[BlackPawn] | b[WhiteRook] | b[BlackRook] | b[WhiteQueen] | b[BlackQueen])
        return false;
    int knights = popcount(b[WhiteKnight] | b[BlackKnight]);
    int light = popcount(b[WhiteLightBishop] | b[BlackLightBishop]);
    int dark = popcount(b[WhiteDarkBishop] | b[BlackDarkBishop]);
    if (knights == 0) return light == 0 || dark == 0;
    return knights == 1 && light + dark == 0;
}

// Mate and stalemate first: a mate given with the hundredth quiet half-move still counts.
inline Ending gameEnding(GameBoard& g) {
    MoveList legal;
    generateLegalMoves(g.pos, legal);
    if (legal.count == 0) return inCheck(g.pos) ? Ending::Checkmate : Ending::Stalemate;
    if (g.pos.rule50 >= 100) return Ending::FiftyMoves;
    if (isThreefold(g)) return Ending::Repetition;
    if (isInsufficientMaterial(g.pos)) return Ending::Material;
    return Ending::None;
}

// Plays a legal move and records its texts.
inline void playMove(GameBoard& g, Move m) {
    std::string san = sanWithoutSuffix(g.pos, m);
    g.moveTexts.emplace_back(moveToText(g.pos, m, g.chess960));
    UndoInfo undo;
    makeMove(g.pos, undo, m);
    g.pos.stack = nullptr;
    // The game's keys live in g.keys; restarting the position's own history each move keeps
    // it far from its end however long the game runs.
    g.pos.keyHistory[0] = g.pos.key;
    g.pos.keyCount = 1;
    g.keys.push_back(repetitionKey(g.pos));
    if (inCheck(g.pos)) {
        MoveList legal;
        generateLegalMoves(g.pos, legal);
        san += legal.count == 0 ? '#' : '+';
    }
    g.sanTexts.push_back(san);
}

}  // namespace selfplay
