// Positions for the tests: square names written as text, a position set up from FEN as a
// search node would see it, and the published perft suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"

constexpr int sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}
// "d6 d5 c2" as a square set; "" is the empty set.
inline Bitboard squares(const char* names) {
    Bitboard b = 0;
    for (const char* n = names; n[0] && n[1]; n += n[2] ? 3 : 2) b |= Bitboard(1) << sq(n);
    return b;
}
// The word of "e2e4" as its squares say, whether or not the position has such a move.
inline Move word(const char* fromTo, int kind = KindNormal) {
    return makeMoveWord(sq(fromTo), sq(fromTo + 2), kind);
}

// Loads the FEN into one shared position and fills its stack entry as a node does, so that
// legality, checks and the generators can be asked at once. The next call reuses both.
inline Position& setUp(const char* fen) {
    static Position p;
    static SearchStackEntry entry;
    loadFen(p, fen);
    entry = SearchStackEntry{};
    entry.lastTacticalTo = NoSquare;
    p.stack = &entry;
    const Color us = Color(p.sideToMove);
    entry.inCheck = isSquareAttacked(p, p.kingSquare[us], us ^ 1);
    entry.pinned = pinnedPieces(p, us);
    return p;
}

struct SuitePosition {
    std::string fen;
    std::vector<std::pair<int, uint64_t>> counts;  // (depth, expected paths)
};

// Every "FEN ;D1 n ;D2 n ..." line of a perft table; fails the calling test when the file
// has fewer than `least` lines.
inline std::vector<SuitePosition> readPerftTable(const char* path, size_t least) {
    std::vector<SuitePosition> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t semicolon = line.find(';');
        if (line.compare(0, 1, "#") == 0 || semicolon == std::string::npos) continue;
        SuitePosition position;
        position.fen = line.substr(0, line.find_last_not_of(' ', semicolon - 1) + 1);
        for (size_t at = semicolon; at != std::string::npos; at = line.find(';', at + 1)) {
            int depth = 0;
            unsigned long long count = 0;
            if (std::sscanf(line.c_str() + at, "; D%d %llu", &depth, &count) == 2)
                position.counts.emplace_back(depth, count);
        }
        lines.push_back(position);
    }
    EXPECT_GE(lines.size(), least) << "perft table missing: " << path;
    return lines;
}

// Every line of the perft suite of standard chess.
inline const std::vector<SuitePosition>& perftSuite() {
    static const std::vector<SuitePosition> suite = readPerftTable(TOLVO_PERFT_SUITE, 100);
    return suite;
}

// The published Chess960 table: one position a few moves into each of the 960 starts, its
// castling rights in Shredder-FEN.
inline const std::vector<SuitePosition>& chess960Table() {
    static const std::vector<SuitePosition> table = readPerftTable(TOLVO_CHESS960_TABLE, 960);
    return table;
}
