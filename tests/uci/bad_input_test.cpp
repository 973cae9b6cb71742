// Hostile and malformed input: the engine survives, stays usable and answers every "go" with
// exactly one "bestmove".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uci/engine_session.h"

namespace {

class BadInput : public EngineTest {
   protected:
    // Sends the lines, then checks that "isready" is still answered, that "go depth 1"
    // gives exactly one "bestmove" and that nothing follows it. Returns that line.
    std::string survives(const std::vector<std::string>& lines) {
        for (const std::string& l : lines) EXPECT_TRUE(engine.send(l));
        EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0);
        std::vector<std::string> out = goAndWait(engine, "go depth 1");
        EXPECT_EQ(countPrefix(out, "bestmove"), 1);
        EXPECT_EQ(countPrefix(syncReady(engine), "bestmove"), 0) << "a second bestmove";
        return lastWithPrefix(out, "bestmove");
    }
    // A position the engine refuses to search is answered with the move of no move.
    void refused(const std::string& position) {
        SCOPED_TRACE(position);
        EXPECT_EQ(survives({position}), "bestmove a1a1 ");
    }
    // A position the engine searches is answered with a real move.
    void searched(const std::string& position) {
        SCOPED_TRACE(position);
        std::string best = survives({position});
        EXPECT_NE(best, "bestmove a1a1 ");
        EXPECT_GE(best.size(), 13u) << best;
    }
};

const std::string Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

TEST_F(BadInput, TruncatedFensAreReadWithoutCrashing) {
    for (const std::string& fen : std::vector<std::string>{
             "", " ", "r", "rnbqkbnr/pppp", Start, Start + " ", Start + " w", Start + " w ",
             Start + " w KQkq", Start + " w KQkq ", Start + " w KQkq e", Start + " w KQkq - ",
             Start + " w KQkq - 0", "8/8/8/8/8/8/8/8 w - - 0 1"}) {
        SCOPED_TRACE("fen: [" + fen + "]");
        survives({"position fen " + fen});
        survives({"position fen" + fen});
    }
    survives({"position"});
    survives({"position fen"});
    survives({"position startpos fen"});
}

TEST_F(BadInput, BoardFieldsOfMoreThanSixtyFourSquaresStayOnTheBoard) {
    refused("position fen " + std::string(200, 'p') + " w - - 0 1");
    refused("position fen " + std::string(100, 'K') + std::string(100, 'k') + " w - - 0 1");
    std::string ranks;
    for (int i = 0; i < 30; ++i) ranks += "8/";
    refused("position fen k7/" + ranks + "7K w - - 0 1");
    refused("position fen " + std::string(500, '8') + "kK w - - 0 1");
}

TEST_F(BadInput, EnPassantFieldsOutOfPlaceOrRangeAreHarmless) {
    const std::string fen = "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR ";
    for (const char* ep : {"e9", "z0", "~~", "d3", "e6", "h9", "a0", "i6", "d", "99"}) {
        searched("position fen " + fen + "w KQkq " + ep + " 0 3");
        searched("position fen " + fen + "b KQkq " + ep + " 0 3");
    }
    // Castling letters out of order shift the fields: the en-passant field is then read from
    // the castling text.
    searched("position fen " + fen + "w kqKQ d6 0 3");
    searched("position fen " + fen + "w KQkq d6 0 3");
}

TEST_F(BadInput, LinesLongerThanTheBufferAreCutOrSkipped) {
    survives({std::string(70000, 'x')});
    survives({"isready" + std::string(70000, ' ')});
    survives({"position fen " + std::string(70000, '8')});
    survives({"position startpos moves" + std::string(70000, ' ')});
    std::string moves = "position startpos moves";
    while (moves.size() < 70000) moves += " g1f3 g8f6 f3g1 f6g8";
    searched(moves);
    // Nothing of the long line leaks into the next one.
    EXPECT_TRUE(engine.send(std::string(70000, 'y') + "isready"));
    EXPECT_TRUE(syncReady(engine).empty());
}

TEST_F(BadInput, MoveListsThatEndEarlyOrMatchNoMoveStopThere) {
    searched("position startpos moves");
    searched("position startpos moves ");
    searched("position startpos moves e2e4 ");
    searched("position startpos moves e2e4  e7e5");
    searched("position startpos moves e2e5");
    searched("position startpos moves e2e4 zzzz e7e5");
    searched("position startpos moves e2e4 e7e");
    searched("position startpos moves e2e4 e7e5 e1e2 e8e7 e2e3 e7e6 e3e4 e6e5");
    searched("position startpos moves 0000 0000 0000");
    searched("position startpos moves e7e5");
    searched("position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 e1g1");
}

TEST_F(BadInput, MovesThatWouldLeaveAKingCapturableAreNotPlayed) {
    // 1. f3 e5 2. Kf2 Qh4+ and then White passes: the king would stand in check with Black
    // to move. The refused tail must not let a later move take the king.
    survives({"position startpos moves f2f3 e7e5 e1f2 d8h4 0000 h4f2"});
    survives({"position startpos moves e2e4 e7e5 e1e2 d8h4 d1e1 h4f2 e2f2"});
}

TEST_F(BadInput, FifteenHundredMovesAfterAFenKeepTheEngineSound) {
    std::string line = "position fen " + Start + " w KQkq - 0 1 moves";
    for (int i = 0; i < 375; ++i) line += " g1f3 g8f6 f3g1 f6g8";
    searched(line);
    // The same game ending in a repetition: still searchable, still one answer.
    searched(line + " g1f3");
}

TEST_F(BadInput, PositionsTheGateRefusesAreAnsweredWithoutASearch) {
    refused("position fen 8/8/8/8/8/8/8/K7 w - - 0 1");                 // no black king
    refused("position fen k7/8/8/8/8/8/8/8 b - - 0 1");                 // no white king
    refused("position fen k6k/8/8/8/8/8/8/K7 w - - 0 1");               // two black kings
    refused("position fen k7/pppppppp/p7/8/8/8/8/K7 w - - 0 1");        // nine pawns
    refused("position fen k7/8/8/8/8/8/8/K6P w - - 0 1");               // pawn on rank 1
    refused("position fen k6p/8/8/8/8/8/8/K7 w - - 0 1");               // pawn on rank 8
    refused("position fen k7/8/8/8/8/8/8/K6r b - - 0 1");               // side not to move
    refused("position fen k6R/8/8/8/8/8/8/K7 w - - 0 1");               // in check
    refused("position fen k7/8/8/8/8/NNNNNNNN/NNNNNNNN/K7 w - - 0 1");  // sixteen knights
    refused("position fen k7/8/8/8/8/PPPPPPPP/NNN5/K7 w - - 0 1");      // knights + pawns > 10
    refused("position fen k7/8/8/8/8/8/8/K6P w - - 0 1 moves a1b1");    // moves not played
}

TEST_F(BadInput, HalfMoveCountersBeyondTheHistoryAreSearched) {
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 99 1");
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 255 1");
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 300 1");
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 99999999999999999999 1");
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 90 1 moves a1b1 a8b8 b1a1 b8a8 a1b1");
}

}  // namespace
