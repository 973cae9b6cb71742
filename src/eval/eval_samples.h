// Reproducible sample positions for the evaluation's tests and benchmark: random legal games
// from a set of start positions, driven by a fixed seed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/position.h"

// The FEN part of each non-empty line of an EPD or FEN file (text from the first ';' is
// dropped; lines starting with '#' are comments). An unreadable file gives an empty list.
std::vector<std::string> readFenLines(const char* path);

// Plays random legal moves from each start position in turn (games of up to `maxPlies`
// half-moves, ended early by mate, stalemate or a position the search would refuse) and
// hands every position reached after a move to `visit`, `count` positions in all. The
// visitor may evaluate the position but must leave it as it found it.
// The sample set of the colour-symmetry test and the benchmark: the same positions in both.
constexpr int StandardSampleCount = 8000;
constexpr uint64_t StandardSampleSeed = 0x5EED;
constexpr int StandardSampleMaxPlies = 60;

void forEachSamplePosition(const std::vector<std::string>& startFens, int count, uint64_t seed,
                           int maxPlies, const std::function<void(Position&)>& visit);
