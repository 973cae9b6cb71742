#include "board/perft_suite.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

const std::vector<SuitePosition>& perftSuite() {
    static const std::vector<SuitePosition> suite = [] {
        std::vector<SuitePosition> lines;
        std::ifstream in(TOLVO_PERFT_SUITE);
        for (std::string line; std::getline(in, line);) {
            const size_t semicolon = line.find(';');
            if (line.empty() || semicolon == std::string::npos) continue;
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
        return lines;
    }();
    EXPECT_GE(suite.size(), 100u) << "perft suite missing: " << TOLVO_PERFT_SUITE;
    return suite;
}
