// Playing below full strength ("UCI_LimitStrength", "UCI_Elo"): what a rating means for the
// search, and the weighted pick among the root lines that makes the choices human-looking.
#pragma once

#include <cstdint>

struct StrengthSetting {
    int32_t elo;
    uint64_t nodeCap;     // nodes of the whole search
    int32_t lines;        // root lines searched in full, the candidates of the pick
    int32_t temperature;  // centipawns: how readily the pick takes a weaker line
    int32_t dropMargin;   // centipawns: a line this far below line 1 is never picked
};

// The ratings the calibration measured: "UCI_Elo" is clamped to them.
extern const int32_t StrengthEloMin;
extern const int32_t StrengthEloMax;

// The setting for a rating, interpolated between the measured levels (the node cap in its
// logarithm, the rest linearly); a rating outside the range is clamped.
StrengthSetting strengthSetting(int elo);

// The line to play among `count` root lines, best first, by their scores: each line within
// the drop margin of line 1 is taken with a probability proportional to
// exp((score - best) / temperature), scores clamped to +-1000 first. A mate on line 1 is
// always played, and a line that is mated never while line 1 is not. `random` is a uniform
// draw of 64 bits.
int pickLine(const int32_t* scores, int count, const StrengthSetting& s, uint64_t random);

// The pick's random numbers: seeded from the clock when the engine starts; tests set the seed
// to replay a game.
void seedStrengthRandom(uint64_t seed);
uint64_t nextStrengthRandom();
