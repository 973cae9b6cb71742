// Limited strength: what a rating sets, the pick among the root lines, and searches that
// replay under a seed.
#include "search/strength.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "board/perft.h"
#include "platform/random.h"
#include "search_support.h"

namespace {

// The balanced openings the calibration matches start from.
std::vector<std::string> openings() {
    std::vector<std::string> fens;
    std::ifstream in(TOLVO_SOURCE_DIR "/tools/calibration/openings.fen");
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) fens.push_back(line);
    return fens;
}

Move Played;
void keepBestMove(Move m, const PvLine&) {
    Played = m;
}

// The move each opening gets from one search under the node limit (or a depth, when given),
// at the strength the options set, the pick's generator seeded first.
std::vector<Move> playedMoves(const std::vector<std::string>& fens, uint64_t seed, uint64_t nodes,
                              int depth = 0) {
    seedStrengthRandom(seed);
    std::vector<Move> moves;
    for (const std::string& fen : fens) {
        prepareTestSearch(depth ? ModeDepth : ModeNodes);
        Limits.nodes = nodes;
        Limits.depth = uint16_t(depth);
        Reporter.bestMove = keepBestMove;
        Played = 0;
        Position& p = setUp(fen.c_str());
        SearchDriver(p);
        MoveList legal;
        generateLegalMoves(p, legal);
        bool isLegal = false;
        for (int i = 0; i < legal.count; ++i) isLegal |= legal.moveWords[i] == Played;
        EXPECT_TRUE(isLegal) << fen << " " << moveToText(p, Played);
        moves.push_back(Played);
    }
    return moves;
}

struct StrengthOptions {
    StrengthOptions(bool on, int elo) {
        LimitStrength = on;
        StrengthElo = elo;
    }
    ~StrengthOptions() {
        LimitStrength = 0;
        StrengthElo = StrengthEloMax;
    }
};

TEST(Strength, SettingsWeakenSteadilyAsTheRatingFallsAndClampOutsideTheRange) {
    StrengthSetting above = strengthSetting(StrengthEloMax);
    EXPECT_EQ(strengthSetting(StrengthEloMax + 500).nodeCap, above.nodeCap);
    EXPECT_EQ(strengthSetting(StrengthEloMin - 500).nodeCap,
              strengthSetting(StrengthEloMin).nodeCap);
    for (int elo = StrengthEloMax - 1; elo >= StrengthEloMin; --elo) {
        const StrengthSetting s = strengthSetting(elo);
        SCOPED_TRACE(elo);
        ASSERT_LE(s.nodeCap, above.nodeCap);
        ASSERT_GE(s.temperature, above.temperature);
        ASSERT_GE(s.dropMargin, above.dropMargin);
        ASSERT_GE(s.lines, above.lines);
        ASSERT_LE(s.lines, 6);
        above = s;
    }
    EXPECT_LT(strengthSetting(StrengthEloMin).nodeCap, strengthSetting(StrengthEloMax).nodeCap);
    EXPECT_GE(strengthSetting(StrengthEloMax).lines, 1);
}

TEST(Strength, PickTakesOnlyLinesWithinTheMarginWeightedByScore) {
    StrengthSetting s{0, 1000, 4, 50, 100};
    const uint64_t lowest = 0, highest = ~uint64_t(0);
    const int32_t scores[] = {40, 10, -59, -61, -300};
    // The whole range of draws reaches line 1 and the last line within 100 of it, no further.
    EXPECT_EQ(pickLine(scores, 5, s, lowest), 0);
    EXPECT_EQ(pickLine(scores, 5, s, highest), 2);
    int counts[5] = {};
    uint64_t state = 7;
    for (int i = 0; i < 20000; ++i) ++counts[pickLine(scores, 5, s, splitmix64(state))];
    EXPECT_EQ(counts[3] + counts[4], 0);
    // Weights 1, e^-0.6, e^-1.98: shares 0.593, 0.325, 0.082.
    EXPECT_NEAR(counts[0] / 20000.0, 0.593, 0.02);
    EXPECT_NEAR(counts[1] / 20000.0, 0.325, 0.02);
    EXPECT_NEAR(counts[2] / 20000.0, 0.082, 0.02);
    // Scores are clamped to +-1000 first: two big material wins weigh the same.
    const int32_t decided[] = {1800, 1500, 200};
    EXPECT_EQ(pickLine(decided, 3, s, lowest), 0);
    EXPECT_EQ(pickLine(decided, 3, s, highest), 1);
    EXPECT_EQ(pickLine(decided, 3, s, highest / 2 - 1000), 0);
    EXPECT_EQ(pickLine(decided, 3, s, highest / 2 + 1000000), 1);
    // But a mate is never passed over, and the shortest comes first.
    const int32_t mates[] = {29997, 29991, 1500, 200};
    for (uint64_t draw : {lowest, highest / 2 + 1000000, highest})
        EXPECT_EQ(pickLine(mates, 4, s, draw), 0);
    // A line that is mated is never played while another is not ...
    const int32_t mated[] = {-990, -1200, -29990, -29996};
    EXPECT_EQ(pickLine(mated, 4, s, highest), 1);
    for (int i = 0; i < 2000; ++i) EXPECT_LE(pickLine(mated, 4, s, splitmix64(state)), 1);
    // ... and when every line is, the longest mate is.
    const int32_t lost[] = {-29980, -29990, -29996};
    for (uint64_t draw : {lowest, highest}) EXPECT_EQ(pickLine(lost, 3, s, draw), 0);
    // One line, or no temperature: line 1.
    EXPECT_EQ(pickLine(scores, 1, s, highest), 0);
    s.temperature = 0;
    EXPECT_EQ(pickLine(scores, 5, s, highest), 0);
}

TEST(Strength, ASeedAndANodeLimitReplayTheSameMovesAndAnotherSeedChangesSome) {
    const std::vector<std::string> fens = openings();
    ASSERT_GE(fens.size(), 40u);
    const std::vector<std::string> some(fens.begin(), fens.begin() + 40);
    StrengthOptions weakest(true, StrengthEloMin);
    const std::vector<Move> first = playedMoves(some, 42, 3000);
    EXPECT_EQ(playedMoves(some, 42, 3000), first);
    EXPECT_NE(playedMoves(some, 43, 3000), first);
}

TEST(Strength, TheWeakestSettingPlaysAnotherMoveThanFullStrengthInAThirdOfTheOpenings) {
    const std::vector<std::string> fens = openings();
    ASSERT_GE(fens.size(), 100u);
    std::vector<Move> full, weak;
    {
        StrengthOptions off(false, StrengthEloMin);
        full = playedMoves(fens, 1, 0, 8);
    }
    {
        StrengthOptions weakest(true, StrengthEloMin);
        // The depth is no limit for the weakest setting: its node cap ends the search first.
        weak = playedMoves(fens, 1, 0, 8);
    }
    int differ = 0;
    for (size_t i = 0; i < fens.size(); ++i) differ += full[i] != weak[i];
    RecordProperty("differing", differ);
    EXPECT_GE(differ * 3, int(fens.size())) << differ << " of " << fens.size() << " differ";
}

}  // namespace
