// The training record: one searched position of a self-play game, 32 bytes on disk. The one
// description of the layout, shared by the data generator, its tests and the evaluation tools.
//
// Version 1, little-endian, no file header; one file per generator job:
//   0   u64      occupancy: bit s set when square s (a1 = 0 .. h8 = 63) holds a piece
//   8   u8[16]   one nibble per occupied square in ascending square order, low nibble first:
//                colour * 8 + type (colour 0 White, 1 Black; type 0 pawn, 1 knight, 2 bishop,
//                3 rook, 4 queen, 5 king); unused nibbles 0
//   24  i16      the search's score in centipawns from the side to move's view, never a mate
//   26  i8       the game's result from White's side: 1 White won, 0 draw, -1 Black won
//   27  u8       flags: bit 0 side to move (1 = Black), bits 1-3 zero, bits 4-7 version
//   28  u16      the move played: from | to << 6 | promotion << 12 (0 none, 1 knight .. 4 queen)
//   30  u16      ply: half-moves from the start position
// The records of one game are contiguous and their ply strictly increases, so a record whose
// ply is not above the one before it starts a new game.
#pragma once

#include <cstdint>
#include <string>

#include "board/position.h"
#include "board/types.h"

namespace datagen {

constexpr int RecordVersion = 1;
constexpr int RecordBytes = 32;
constexpr int MaxRecordPieces = 32;

// Piece types as the record names them; both bishop codes are one type.
enum RecordPiece : int {
    RecordPawn,
    RecordKnight,
    RecordBishop,
    RecordRook,
    RecordQueen,
    RecordKing
};

struct TrainingRecord {
    uint64_t occupancy;
    uint8_t pieces[16];
    int16_t score;
    int8_t result;
    uint8_t flags;
    uint16_t move;
    uint16_t ply;
};

// The record's type of an engine piece code (not Empty).
constexpr int recordType(int code) {
    return code == WhitePawn || code == BlackPawn                ? RecordPawn
           : code == WhiteKnight || code == BlackKnight          ? RecordKnight
           : code >= WhiteLightBishop && code <= BlackDarkBishop ? RecordBishop
           : code == WhiteRook || code == BlackRook              ? RecordRook
           : code == WhiteQueen || code == BlackQueen            ? RecordQueen
                                                                 : RecordKing;
}

// The record's word of an engine move: promotions name the new piece's type.
constexpr uint16_t recordMove(Move m) {
    const int promotion = isPromotion(m) ? recordType(promotionPiece(m)) : 0;
    return uint16_t(moveFrom(m) | moveTo(m) << 6 | promotion << 12);
}

// The position's pieces in record form, or false when it holds more than the record can.
inline bool encodeRecord(const Position& p, int score, int result, Move move, int ply,
                         TrainingRecord& r) {
    r = TrainingRecord{};
    int count = 0;
    for (int s = 0; s < 64; ++s) {
        const int code = p.board[s];
        if (code == Empty) continue;
        if (count == MaxRecordPieces) return false;
        const int nibble = colorOf(code) * 8 + recordType(code);
        r.occupancy |= uint64_t(1) << s;
        r.pieces[count / 2] |= uint8_t(nibble << (count % 2 * 4));
        ++count;
    }
    r.score = int16_t(score);
    r.result = int8_t(result);
    r.flags = uint8_t((p.sideToMove & 1) | RecordVersion << 4);
    r.move = recordMove(move);
    r.ply = uint16_t(ply);
    return true;
}

// The record's 32 bytes in file order.
inline void recordToBytes(const TrainingRecord& r, uint8_t* out) {
    for (int i = 0; i < 8; ++i) out[i] = uint8_t(r.occupancy >> (8 * i));
    for (int i = 0; i < 16; ++i) out[8 + i] = r.pieces[i];
    out[24] = uint8_t(uint16_t(r.score));
    out[25] = uint8_t(uint16_t(r.score) >> 8);
    out[26] = uint8_t(r.result);
    out[27] = r.flags;
    out[28] = uint8_t(r.move);
    out[29] = uint8_t(r.move >> 8);
    out[30] = uint8_t(r.ply);
    out[31] = uint8_t(r.ply >> 8);
}

inline TrainingRecord recordFromBytes(const uint8_t* in) {
    TrainingRecord r{};
    for (int i = 0; i < 8; ++i) r.occupancy |= uint64_t(in[i]) << (8 * i);
    for (int i = 0; i < 16; ++i) r.pieces[i] = in[8 + i];
    r.score = int16_t(uint16_t(in[24] | in[25] << 8));
    r.result = int8_t(in[26]);
    r.flags = in[27];
    r.move = uint16_t(in[28] | in[29] << 8);
    r.ply = uint16_t(in[30] | in[31] << 8);
    return r;
}

// Type and colour of each square (-1 empty), or false when the record is not a version-1
// record: more pieces than nibbles, a nibble naming no piece, or another version.
inline bool recordSquares(const TrainingRecord& r, int (&squares)[64]) {
    if (r.flags >> 4 != RecordVersion || (r.flags & 0x0E) != 0) return false;
    if (popcount(r.occupancy) > MaxRecordPieces) return false;
    int count = 0;
    for (int s = 0; s < 64; ++s) {
        squares[s] = -1;
        if (!(r.occupancy >> s & 1)) continue;
        const int nibble = r.pieces[count / 2] >> (count % 2 * 4) & 15;
        if ((nibble & 7) > RecordKing) return false;
        squares[s] = nibble;
        ++count;
    }
    return true;
}

// FEN text of a board given as record nibbles per square (-1 empty).
inline std::string fenText(const int (&squares)[64], int side, const std::string& castling,
                           const std::string& ep, int halfMoves, int fullMoves) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int gap = 0;
        for (int file = 0; file < 8; ++file) {
            const int nibble = squares[rank * 8 + file];
            if (nibble < 0) {
                ++gap;
                continue;
            }
            if (gap) fen += char('0' + gap);
            gap = 0;
            const char letter = "PNBRQK"[nibble & 7];
            fen += nibble & 8 ? char(letter - 'A' + 'a') : letter;
        }
        if (gap) fen += char('0' + gap);
        if (rank) fen += '/';
    }
    fen += side == Black ? " b " : " w ";
    fen += castling + " " + ep + " " + std::to_string(halfMoves) + " " + std::to_string(fullMoves);
    return fen;
}

// The record's position as FEN text for the engine's FEN reader: the side to move from the
// flags, no castling rights or en-passant square (the record keeps neither), half-move
// counter 0, full-move number from the ply. Empty when the record is not a valid one.
inline std::string recordToFen(const TrainingRecord& r) {
    int squares[64];
    if (!recordSquares(r, squares)) return "";
    return fenText(squares, r.flags & 1, "-", "-", 0, r.ply / 2 + 1);
}

// The full FEN text of an engine position, castling rights and en-passant square included.
inline std::string positionToFen(const Position& p, int fullMoves) {
    int squares[64];
    for (int s = 0; s < 64; ++s)
        squares[s] = p.board[s] == Empty ? -1 : colorOf(p.board[s]) * 8 + recordType(p.board[s]);
    // Rights whose rooks all stand on their corners as KQkq; any other (Chess960) rights as
    // the files of their rooks, Shredder style: both read back to the same rights and rooks.
    bool corners = true;
    for (int right = 0; right < 4; ++right)
        if ((p.castleRights & (1 << right)) &&
            p.castleRooks.square[right] != CornerRooks.square[right])
            corners = false;
    std::string castling;
    for (int right = 0; right < 4; ++right) {
        if (!(p.castleRights & (1 << right))) continue;
        const char file = char((right < 2 ? 'A' : 'a') + fileOf(p.castleRooks.square[right]));
        castling += corners ? "KQkq"[right] : file;
    }
    if (castling.empty()) castling = "-";
    std::string ep = "-";
    if (p.epSquare < 64)
        ep = std::string{char('a' + fileOf(int(p.epSquare))), char('1' + rankOf(int(p.epSquare)))};
    return fenText(squares, int(p.sideToMove), castling, ep, p.rule50, fullMoves);
}

}  // namespace datagen
