// "go mate N" through a pipe: the search goes on until it proves a mate in N moves or fewer
// for the side to move, or until it is stopped.
#include "board/attacks.h"
#include "support/engine_pipe.h"

namespace {

// Morphy's problem: 1. Ra6! bxa6 2. b7#, and 1. ... Bc7 2. Rxa7#.
const char* const MateInTwo = "position fen kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1";
// Anderssen - Kieseritzky, London 1851: 21. Nxg7+ Kd8 22. Qf6+ Nxf6 23. Be7#.
const char* const MateInThree =
    "position fen r1b1k1nr/p2p1ppp/n2B4/1p1NPN1P/6P1/3P1Q2/P1P1K3/q5b1 w kq - 1 21";

bool inCheck(const Position& p) {
    return isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
}

bool everyReplyIsMatedWithin(Position& p, int moves);

// Whether the side to move mates within the number of its own moves whatever the defence,
// tried over every legal move: an independent check of what the engine answers.
bool matesWithin(Position& p, int moves) {
    if (moves == 0) return false;
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i) {
        UndoInfo undo;
        makeMove(p, undo, legal.moveWords[i]);
        // The last move must mate, so it must check.
        const bool mates = (moves > 1 || inCheck(p)) && everyReplyIsMatedWithin(p, moves - 1);
        unmakeMove(p, undo, legal.moveWords[i]);
        if (mates) return true;
    }
    return false;
}

// The defender to move: mated now, or mated within that many moves after every reply.
bool everyReplyIsMatedWithin(Position& p, int moves) {
    MoveList legal;
    generateLegalMoves(p, legal);
    if (legal.count == 0) return inCheck(p);
    for (int i = 0; i < legal.count; ++i) {
        UndoInfo undo;
        makeMove(p, undo, legal.moveWords[i]);
        const bool mated = matesWithin(p, moves);
        unmakeMove(p, undo, legal.moveWords[i]);
        if (!mated) return false;
    }
    return true;
}

// The answer of "go mate N" played: a mate in at most N moves whatever the defence.
bool answerMatesWithin(const std::string& position, const std::string& best, int moves) {
    static Position p;
    positionCommand(p, (position + " moves " + best).c_str());
    return everyReplyIsMatedWithin(p, moves - 1);
}

using MateSearch = EitherEngineTest;

TEST_P(MateSearch, AnswersByItselfWithTheMatingMoveOnceTheMateIsProvenAndNotBefore) {
    const struct {
        const char *position, *go, *best, *mate, *depth;  // depth "" when any
    } cases[] = {
        {MateInTwo, "go mate 2", "bestmove a1a6 ", "2", ""},
        {MateInThree, "go mate 3", "bestmove f5g7 ", "3", ""},
        {MateInTwo, "go mate 5", "bestmove a1a6 ", "2", ""},  // a sooner mate qualifies too
        // A mate in three is not the mate in two asked for: the search runs on, through
        // iterations the mate-distance bounds keep tiny, to the deepest one.
        {MateInThree, "go mate 2", "bestmove f5g7 ", "3", "255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.go);
        ASSERT_TRUE(engine.send(c.position));
        const std::vector<std::string> lines = engine.go(c.go, 120000);
        const std::string report = lastWithPrefix(lines, "info depth");
        EXPECT_TRUE(startsWith(lastWithPrefix(lines, "bestmove"), c.best)) << report;
        EXPECT_EQ(fieldOf(report, "mate"), c.mate) << report;
        EXPECT_TRUE(!*c.depth || fieldOf(report, "depth") == c.depth) << report;
        const std::string best = fieldOf(" " + lastWithPrefix(lines, "bestmove"), "bestmove");
        EXPECT_TRUE(answerMatesWithin(c.position, best, std::stoi(c.mate))) << best;
    }
    // The checker itself: the mate in three is none in two, and a move that lets the defence
    // off is no mate at all.
    EXPECT_FALSE(answerMatesWithin(MateInThree, "f5g7", 2));
    EXPECT_FALSE(answerMatesWithin(MateInTwo, "a1a5", 2));
}

TEST_P(MateSearch, WithoutAMateAnswersOnlyWhenStoppedAndOnlyOnce) {
    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go mate 3"));
    EXPECT_EQ(countPrefix(engine.within(1500), "bestmove"), 0);
    EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);  // answered while it searches
    ASSERT_TRUE(engine.send("stop"));
    const std::string best = engine.until("bestmove").value_or("none");
    EXPECT_NE(std::string(" a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 "
                          "h2h3 h2h4 b1a3 b1c3 g1f3 g1h3 ")
                  .find(" " + best.substr(9, 4) + " "),
              std::string::npos)
        << best;
    EXPECT_EQ(countPrefix(engine.ready(), "bestmove"), 0);
}

RUN_FOR_EITHER_ENGINE(MateSearch);

}  // namespace
