// "go mate N" through a pipe: the search goes on until it proves a mate in N moves or fewer
// for the side to move, or until it is stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

// Morphy's problem: 1. Ra6! bxa6 2. b7#, and 1. ... Bc7 2. Rxa7#.
const char* const MateInTwo = "position fen kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1";
// Anderssen - Kieseritzky, London 1851: 21. Nxg7+ Kd8 22. Qf6+ Nxf6 23. Be7#.
const char* const MateInThree =
    "position fen r1b1k1nr/p2p1ppp/n2B4/1p1NPN1P/6P1/3P1Q2/P1P1K3/q5b1 w kq - 1 21";

// The "info depth" line that comes with the "bestmove" at the end of the lines.
std::string finalReport(const std::vector<std::string>& lines) {
    return lastWithPrefix(lines, "info depth");
}

TEST_F(EngineTest, MateSearchAnswersByItselfWithTheMatingMoveOnceTheMateIsProven) {
    struct Case {
        const char* position;
        const char* go;
        const char* best;
        const char* score;
    };
    for (const Case& c : {Case{MateInTwo, "go mate 2", "bestmove a1a6 ", "2"},
                          Case{MateInThree, "go mate 3", "bestmove f5g7 ", "3"},
                          // A mate sooner than asked for qualifies too.
                          Case{MateInTwo, "go mate 5", "bestmove a1a6 ", "2"}}) {
        SCOPED_TRACE(c.go);
        ASSERT_TRUE(engine.send(c.position));
        const std::vector<std::string> lines = goAndWait(engine, c.go);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(startsWith(lines.back(), c.best)) << lines.back();
        EXPECT_EQ(fieldOf(finalReport(lines), "mate"), c.score) << finalReport(lines);
    }
}

TEST_F(EngineTest, MateSearchGoesPastALongerMateToItsDeepestIteration) {
    // A mate in three is not the mate in two that was asked for: the search runs on, through
    // iterations the mate-distance bounds keep tiny, to the deepest one, and then answers.
    ASSERT_TRUE(engine.send(MateInThree));
    const std::vector<std::string> lines = goAndWait(engine, "go mate 2", 120000);
    EXPECT_EQ(fieldOf(finalReport(lines), "depth"), "255") << finalReport(lines);
    EXPECT_EQ(fieldOf(finalReport(lines), "mate"), "3") << finalReport(lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(startsWith(lines.back(), "bestmove f5g7 ")) << lines.back();
}

TEST_F(EngineTest, MateSearchWithoutAMateAnswersOnlyWhenStoppedAndOnlyOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go mate 3"));
    expectNoBestMoveWithin(engine, 1500);
    // The search still answers "isready" while it runs.
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
    ASSERT_TRUE(engine.send("stop"));
    std::optional<std::string> best = engine.readUntilPrefix("bestmove", ReplyMs);
    ASSERT_TRUE(best.has_value());
    const std::string move = best->substr(9, best->find(' ', 9) - 9);
    const std::string firstMoves =
        " a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 "
        "b1a3 b1c3 g1f3 g1h3 ";
    EXPECT_NE(firstMoves.find(" " + move + " "), std::string::npos) << *best;
    EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
}

}  // namespace
