// The published move-path counts the board tests check against.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SuitePosition {
    std::string fen;
    std::vector<std::pair<int, uint64_t>> counts;  // (depth, expected paths)
};

// Every line of the shared perft suite; fails the calling test when the file is unreadable.
const std::vector<SuitePosition>& perftSuite();
