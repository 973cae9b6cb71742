// Helpers of the evaluation tests: positions from FEN and their colour mirrors.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "board/fen.h"
#include "board/positions.h"
#include "eval/eval.h"
#include "eval/eval_internal.h"

// Positions are large (the key history); tests keep them on the heap.
inline std::unique_ptr<Position> positionFrom(const char* fen) {
    auto p = std::make_unique<Position>();
    loadFen(*p, fen);
    EXPECT_TRUE(isSearchable(*p)) << fen;
    return p;
}

// The same position with the board flipped top to bottom, colours and side to move exchanged,
// castling rights and en-passant square mirrored.
inline std::unique_ptr<Position> colourMirror(const Position& p) {
    auto m = std::make_unique<Position>();
    for (int s = 0; s < 64; ++s) {
        int code = p.board[s];
        if (code == 0) continue;
        // A bishop changes its square colour along with its owner: the flip moves it from a
        // light square to a dark one and back.
        constexpr int MirroredBishop[4] = {BlackDarkBishop, WhiteDarkBishop, BlackLightBishop,
                                           WhiteLightBishop};
        const bool bishop = code >= WhiteLightBishop && code <= BlackDarkBishop;
        code = bishop ? MirroredBishop[code - WhiteLightBishop] : code ^ 1;
        m->board[s ^ 56] = code;
    }
    m->sideToMove = p.sideToMove ^ 1;
    m->castleRights = uint8_t(((p.castleRights & 3) << 2) | ((p.castleRights >> 2) & 3));
    m->epSquare = p.epSquare == NoSquare ? NoSquare : p.epSquare ^ 56;
    m->rule50 = p.rule50;
    derivePosition(*m);
    return m;
}
