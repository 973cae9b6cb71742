// "UCI_Chess960" end to end through a pipe: the option in the "uci" reply, Chess960 positions
// in Shredder-FEN and X-FEN, castling sent and answered as the king taking its own rook.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_pipe.h"

namespace {

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The move a "bestmove" line names.
std::string bestMoveOf(const std::vector<std::string>& lines) {
    const std::vector<std::string> words = wordsOf(lastWithPrefix(lines, "bestmove"));
    return words.size() >= 2 ? words[1] : "";
}

// Every move of the "pv" field and the "bestmove" is legal, read as the option reads them,
// each in the position the moves before it reached.
void expectLegalAnswer(const std::string& position, const std::vector<std::string>& lines,
                       bool chess960) {
    const std::string best = lastWithPrefix(lines, "bestmove");
    const std::vector<std::string> bestWords = wordsOf(best);
    ASSERT_GE(bestWords.size(), 2u) << position;
    const std::vector<std::string> legal = legalMoveTexts(position, chess960);
    EXPECT_NE(std::find(legal.begin(), legal.end(), bestWords[1]), legal.end())
        << position << ": " << best;
    const std::string info = lastWithPrefix(lines, "info depth");
    const size_t pv = info.find(" pv ");
    ASSERT_NE(pv, std::string::npos) << info;
    std::string played =
        position.find(" moves") == std::string::npos ? position + " moves" : position;
    for (const std::string& move : wordsOf(info.substr(pv + 4))) {
        const std::vector<std::string> now = legalMoveTexts(played, chess960);
        ASSERT_NE(std::find(now.begin(), now.end(), move), now.end())
            << played << ": pv move " << move << " in " << info;
        played += " " + move;
    }
}

TEST(Chess960Option, IsDeclaredAfterTheEloOptionAndTakesTrueAndFalseInAnyCase) {
    Pipe engine;
    ASSERT_TRUE(engine.started());
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.send("uci") && engine.until("uciok", &lines));
    const auto elo = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return startsWith(l, "option name UCI_Elo ");
    });
    ASSERT_NE(elo, lines.end());
    ASSERT_NE(elo + 1, lines.end());
    EXPECT_EQ(*(elo + 1), "option name UCI_Chess960 type check default false ");

    // The standard start: e1h1 with the option on, e1g1 with it off; "maybe" changes nothing.
    const std::string castle = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const struct {
        const char* option;
        const char* searchmoves;
        const char* expected;
    } cases[] = {
        {"TRUE", "e1h1", "e1h1"},
        {"maybe", "e1h1", "e1h1"},
        {"False", "e1g1", "e1g1"},
        {"false", "e1h1", "e1g1"},  // off: the king taking its rook is read too
    };
    for (const auto& c : cases) {
        engine.send(std::string("setoption name UCI_Chess960 value ") + c.option);
        engine.send(castle);
        const std::vector<std::string> answer =
            engine.go(std::string("go depth 2 searchmoves ") + c.searchmoves);
        EXPECT_EQ(bestMoveOf(answer), c.expected) << c.option;
    }
    engine.send("setoption name UCI_Chess960 value true");
    engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6");
    EXPECT_EQ(bestMoveOf(engine.go("go depth 2 searchmoves e1h1")), "e1h1");
    engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1h1");
    EXPECT_EQ(bestMoveOf(engine.go("go depth 2 searchmoves f8c5")), "f8c5");
}

// One 960 position in Shredder-FEN and in X-FEN, castled on both sides as the king taking its
// rook, then searched: the answers name legal moves in that form.
TEST(Chess960Option, ShredderAndXFenPositionsCastleAsKingTakesRookAndAnswerLegalMoves) {
    Pipe engine;
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    engine.send("setoption name UCI_Chess960 value true");
    engine.ready();
    // King on b1/b8 with rooks on a and h: the long castling moves the king one square and
    // the rook three.
    const std::string shredder = "position fen rk2bn1r/pppqpppp/8/8/8/8/PPPQPPPP/RK2BN1R w HAha";
    const std::string xfen = "position fen rk2bn1r/pppqpppp/8/8/8/8/PPPQPPPP/RK2BN1R w KQkq";
    for (const std::string& start : {shredder, xfen}) {
        const std::string line = start + " - 0 1 moves b1a1 b8a8";
        engine.send(line);
        const std::vector<std::string> answer = engine.go("go depth 5");
        expectLegalAnswer(line, answer, true);
        // After both long castlings: kings on c1/c8, rooks on d1/d8.
        const std::vector<std::string> legal = legalMoveTexts(line, true);
        EXPECT_NE(std::find(legal.begin(), legal.end(), "c1b1"), legal.end()) << line;
        EXPECT_EQ(std::find(legal.begin(), legal.end(), "c1h1"), legal.end()) << line;
    }
    // A 960 position from the published table, a few moves in.
    const std::string table =
        "position fen bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/"
        "BQ1BNRKR w HFhf - 2 9";
    engine.send(table);
    expectLegalAnswer(table, engine.go("go depth 6"), true);
}

// Castlings in which one of the two pieces stays where it is: sent, played, and searched on.
TEST(Chess960Option, CastlingWhereTheKingOrTheRookDoesNotMoveIsPlayed) {
    Pipe engine;
    ASSERT_TRUE(engine.started());
    engine.send("setoption name UCI_Chess960 value true");
    const struct {
        const char *position, *castle, *reply, *afterMove;
    } cases[] = {
        // The king on g1 stays; the h1 rook goes to f1, from where it may move along the file.
        {"position fen 6kr/8/8/8/8/8/8/6KR w Hh - 0 1", "g1h1", "g8h8", "f1f7"},
        // The d1 rook stays; the king goes from e1 to c1, from where it may step to b2.
        {"position fen 3rk3/3p4/8/8/8/8/3P4/3RK3 w Dd - 0 1", "e1d1", "e8d8", "c1b2"},
    };
    for (const auto& c : cases) {
        const std::string line = std::string(c.position) + " moves " + c.castle + " " + c.reply;
        const std::vector<std::string> legal = legalMoveTexts(line, true);
        EXPECT_NE(std::find(legal.begin(), legal.end(), c.afterMove), legal.end()) << line;
        engine.send(line);
        expectLegalAnswer(line, engine.go("go depth 4"), true);
        // And the castling is among the engine's own moves where it is legal.
        engine.send(c.position);
        EXPECT_EQ(bestMoveOf(engine.go(std::string("go depth 2 searchmoves ") + c.castle)),
                  c.castle)
            << c.position;
    }
}

// Castling fields a GUI should never send: many letters, files without rooks, rooks of the
// wrong colour, a king off its rank. Each is read safely and answered; the engine lives on.
TEST(Chess960Option, HostileCastlingFieldsAreAnsweredAndTheEngineLivesOn) {
    Pipe engine;
    ASSERT_TRUE(engine.started());
    engine.send("setoption name UCI_Chess960 value true");
    const char* const fens[] = {
        "rk5r/8/8/8/8/8/8/RK5R w HAhaHAhaHAhaHAha - 0 1",
        "rk5r/8/8/8/8/8/8/RK5R w ABCDEFGHabcdefgh - 0 1",
        "rk5r/8/8/8/8/8/8/rK5r w HA - 0 1",
        "rk5r/8/8/8/8/8/1K6/R6R w HA - 0 1",
        "rk5r/8/8/8/8/8/8/RK5R w HA",
        "rk5r/8/8/8/8/8/8/RK5R w Hz - 0 1",
    };
    for (const char* fen : fens) {
        const std::string line = std::string("position fen ") + fen + " moves b1a1 b1h1";
        engine.send(line);
        const std::vector<std::string> answer = engine.go("go depth 3");
        const std::string best = bestMoveOf(answer);
        const std::vector<std::string> legal = legalMoveTexts(line, true);
        EXPECT_TRUE(best == "a1a1" || std::find(legal.begin(), legal.end(), best) != legal.end())
            << fen << ": " << best;
    }
    engine.ready();
}

}  // namespace
