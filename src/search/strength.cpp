#include "search/strength.h"

#include <cmath>
#include <iterator>

#include "platform/random.h"
#include "search/state.h"

namespace {

// The measured levels, strongest first: each rating is what tools/calibration/calibrate.sh
// measured for its setting (the README has the games behind it). Between two of them a rating
// takes the node cap on a straight line in its logarithm and the rest on straight lines. In
// self-play a centipawn of temperature costs about what taking away a fifth of the nodes costs, so
// the cap does most of the weakening and the pick stays a matter of small inaccuracies.
constexpr StrengthSetting Levels[] = {
    {2076, 1000000, 4, 0, 0},  //
    {1881, 440000, 4, 1, 4},   //
    {1690, 220000, 4, 2, 8},   //
    {1547, 120000, 4, 3, 12},  //
    {1330, 70000, 5, 4, 16},   //
    {1181, 45000, 5, 5, 20},   //
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
