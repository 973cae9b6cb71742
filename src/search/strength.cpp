#include "search/strength.h"

#include <cmath>
#include <iterator>

#include "platform/random.h"
#include "search/state.h"

namespace {

// The measured levels, strongest first. Each rating is the setting's result in 100 games at
// 10+0.1 against the outside reference of tools/calibration/calibrate.sh, set to the rating its
// comment names (the README has the games); calibrate.sh reads that pairing from this table to
// measure a row again. Between two rows a rating takes the node cap on a straight line in its
// logarithm and the rest on straight lines. The top row searches one line: in probes four lines
// at 1,000,000 nodes played far below one line at 400,000, and one line at 1,000,000 (which a
// search at 10+0.1 seldom reaches) played no better than the top row. Below it the cap does most
// of the weakening, and the pick adds small inaccuracies rather than blunders.
constexpr StrengthSetting Levels[] = {
    {2121, 400000, 1, 0, 0},  // reference 2100
    {1978, 150000, 4, 2, 8},  // reference 1950
    {1800, 25000, 5, 5, 20},  // reference 1800
    {1619, 10000, 6, 8, 32},  // reference 1650
    {1483, 4700, 6, 14, 56},  // reference 1500
    {1399, 3500, 6, 18, 70},  // reference 1350
};
constexpr int LevelCount = int(std::size(Levels));

constexpr int ScoreClamp = 1000;

uint64_t RandomState = 0x6A09E667F3BCC909ull;

int lerp(int a, int b, double f) {
    return int(std::lround(a + (b - a) * f));
}

}  // namespace

const int32_t StrengthEloMin = Levels[LevelCount - 1].elo;
const int32_t StrengthEloMax = Levels[0].elo;

StrengthSetting strengthSetting(int elo) {
    if (elo >= Levels[0].elo) return Levels[0];
    if (elo <= Levels[LevelCount - 1].elo) return Levels[LevelCount - 1];
    int i = 0;
    while (Levels[i + 1].elo > elo) ++i;
    const StrengthSetting& a = Levels[i];
    const StrengthSetting& b = Levels[i + 1];
    const double f = double(a.elo - elo) / double(a.elo - b.elo);
    StrengthSetting s;
    s.elo = elo;
    s.nodeCap = uint64_t(
        std::llround(std::exp(std::log(double(a.nodeCap)) +
                              (std::log(double(b.nodeCap)) - std::log(double(a.nodeCap))) * f)));
    s.lines = lerp(a.lines, b.lines, f);
    s.temperature = lerp(a.temperature, b.temperature, f);
    s.dropMargin = lerp(a.dropMargin, b.dropMargin, f);
    return s;
}

int pickLine(const int32_t* scores, int count, const StrengthSetting& s, uint64_t random) {
    if (count <= 1 || s.temperature <= 0) return 0;
    // A mate is played when there is one, the shortest (line 1, as the lines are ranked);
    // a line that is mated only when every line is. The clamp below would hide both.
    if (scores[0] > MateBound || scores[0] < -MateBound) return 0;
    auto clamped = [](int32_t v) {
        return v > ScoreClamp ? ScoreClamp : v < -ScoreClamp ? -ScoreClamp : v;
    };
    const int best = clamped(scores[0]);
    double weights[256];
    double total = 0.0;
    int candidates = 0;
    for (int i = 0; i < count && i < int(std::size(weights)); ++i) {
        const int behind = best - clamped(scores[i]);
        if (behind > s.dropMargin || scores[i] < -MateBound) break;
        weights[i] = std::exp(-double(behind) / double(s.temperature));
        total += weights[i];
        candidates = i + 1;
    }
    // 53 bits of the draw: a uniform number in [0, total).
    double u = double(random >> 11) * (1.0 / 9007199254740992.0) * total;
    for (int i = 0; i < candidates; ++i) {
        if (u < weights[i]) return i;
        u -= weights[i];
    }
    return candidates - 1;
}

void seedStrengthRandom(uint64_t seed) {
    RandomState = seed;
}

uint64_t nextStrengthRandom() {
    return splitmix64(RandomState);
}
