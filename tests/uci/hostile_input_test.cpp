// One long session of hostile input through the pipe: binary garbage, NUL bytes, megabyte
// lines, a game of thousands of moves, absurd options and limits, searches of positions that
// cannot be searched. Each "go" is awaited before the next line; the engine must answer each
// with exactly one "bestmove", keep answering "isready", and still play a legal move at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "uci/engine_session.h"
#include "uci/position_command.h"

namespace {

// The texts of the legal moves in the position a "position" line builds.
std::vector<std::string> legalMoveTexts(const std::string& positionLine) {
    static Position p;
    positionCommand(p, positionLine.c_str());
    MoveList legal;
    generateLegalMoves(p, legal);
    std::vector<std::string> texts;
    for (int i = 0; i < legal.count; ++i) texts.push_back(moveToText(legal.moveWords[i]));
    return texts;
}

// The move of a "bestmove" line.
std::string moveOf(const std::string& bestMoveLine) {
    return bestMoveLine.substr(9, bestMoveLine.find(' ', 9) - 9);
}

// Bytes as they are, NUL bytes included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class HostileInput : public EngineTest {
   protected:
    // "isready" still answered, and no "bestmove" left over from an earlier search.
    void stillReady() {
        std::vector<std::string> before = syncReady(engine, 30000);
        EXPECT_EQ(countPrefix(before, "bestmove"), 0) << "a bestmove nobody asked for";
    }

    // A "go" that ends by itself; returns its one "bestmove" line.
    std::string search(const std::string& go) {
        SCOPED_TRACE(go);
        std::vector<std::string> lines = goAndWait(engine, go, 30000);
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        stillReady();
        return lastWithPrefix(lines, "bestmove");
    }

    // A "go" that runs until "stop": nothing may come before it, one "bestmove" after it.
    std::string searchUntilStop(const std::string& go) {
        SCOPED_TRACE(go);
        EXPECT_TRUE(engine.send(go));
        EXPECT_EQ(countPrefix(engine.linesWithin(300), "bestmove"), 0) << "ended before stop";
        std::vector<std::string> lines = syncReady(engine, 30000);  // answered mid-search
        EXPECT_EQ(countPrefix(lines, "bestmove"), 0) << "ended before stop";
        EXPECT_TRUE(engine.send("stop"));
        EXPECT_TRUE(engine.readUntilPrefix("bestmove", ReplyMs, &lines).has_value());
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        stillReady();
        return lastWithPrefix(lines, "bestmove");
    }

    void refusedPosition(const std::string& position) {
        SCOPED_TRACE(position);
        EXPECT_TRUE(engine.send(position));
        EXPECT_EQ(search("go depth 3"), "bestmove a1a1 ");
    }
};

TEST_F(HostileInput, EveryGoGetsOneBestMoveAndTheEngineStillPlaysLegallyAfterwards) {
    // Before any "position": the empty board, which the engine refuses to search.
    EXPECT_EQ(search("go depth 3"), "bestmove a1a1 ");

    // Binary garbage, with and without line feeds, NUL bytes and lone carriage returns.
    std::mt19937 random(20240611);
    std::string garbage;
    for (int i = 0; i < 200000; ++i) {
        char c = char(random() & 0xFF);
        // No line may begin with "go" by chance: that would be a search nobody awaits.
        if (c == 'g' && (garbage.empty() || garbage.back() == '\n')) c = 'G';
        garbage += c;
    }
    EXPECT_TRUE(engine.write(garbage + "\n"));
    EXPECT_TRUE(engine.write(bytes("isready\0after a NUL byte\n")));
    EXPECT_EQ(engine.readLine(ReplyMs), std::optional<std::string>("readyok"))
        << "a NUL byte ends the command like the end of the line";
    EXPECT_TRUE(engine.write(bytes("\0\0\0\n\r\r\n\x1b[A\n\xff\xfe\n")));
    stillReady();

    // Lines of a megabyte: the first 65,535 bytes are read, the rest is dropped.
    EXPECT_TRUE(engine.send(std::string(1 << 20, 'x')));
    EXPECT_TRUE(engine.send("position startpos moves " + std::string(1 << 20, ' ')));
    EXPECT_TRUE(engine.send("go depth 1 " + std::string(1 << 20, 'x')));
    EXPECT_TRUE(engine.readUntilPrefix("bestmove", 30000).has_value());
    stillReady();

    // A game of 5,000 moves: the knights go out and back 1,250 times.
    std::string game = "position startpos moves";
    for (int i = 0; i < 1250; ++i) game += " g1f3 g8f6 f3g1 f6g8";
    EXPECT_TRUE(engine.send(game));
    const std::vector<std::string> startMoves = legalMoveTexts("position startpos");
    const std::string afterGame = moveOf(search("go depth 3"));
    EXPECT_NE(std::find(startMoves.begin(), startMoves.end(), afterGame), startMoves.end())
        << afterGame;

    // Table sizes out of range: below the minimum, and beyond any 64-bit number.
    EXPECT_TRUE(engine.send("setoption name Hash value -5"));
    stillReady();
    EXPECT_TRUE(engine.send("setoption name Hash value 99999999999"));
    stillReady();
    EXPECT_TRUE(engine.send("setoption name Hash value 16"));
    stillReady();

    // Negative and absurd limits. A depth, node count or mate distance of -1 reads as the
    // largest value: such searches run until "stop".
    EXPECT_TRUE(engine.send("position startpos"));
    searchUntilStop("go depth -1");
    searchUntilStop("go mate -1");
    searchUntilStop("go nodes -1");
    searchUntilStop("go wtime 99999999999999999999 btime 99999999999999999999");
    searchUntilStop("go depth 99999999999");
    search("go wtime -1 btime -1 winc -1 binc -1 movestogo -1");
    search("go movetime -1");
    search("go depth 1 nodes -5 movetime -99999999999999999999");
    search("go wtime 0 btime 0 movestogo 0");
    search("go depth");

    // Positions the engine cannot search are answered with the move of no move.
    EXPECT_TRUE(engine.send("debugFen"));
    EXPECT_EQ(search("go depth 3"), "bestmove a1a1 ");
    refusedPosition("position fen 8/8/8/8/8/8/8/8 w - - 0 1");
    refusedPosition("position fen 4k3/8/8/8/8/8/8/8 w - - 0 1");
    refusedPosition("position fen 8/8/8/8/8/8/8/4K3 b - - 0 1");
    refusedPosition("position fen P3k3/8/8/8/8/8/8/4K3 w - - 0 1");
    refusedPosition("position fen 4k3/8/8/8/8/8/8/p3K3 b - - 0 1");
    refusedPosition("position fen kkkkkkkk/8/8/8/8/8/8/KKKKKKKK w - - 0 1");

    // After all this, a normal game goes on as if nothing had happened.
    const std::string position = "position startpos";
    EXPECT_TRUE(engine.send(position));
    const std::string best = moveOf(search("go depth 5"));
    EXPECT_NE(std::find(startMoves.begin(), startMoves.end(), best), startMoves.end()) << best;

    EXPECT_TRUE(engine.send("quit"));
    EXPECT_EQ(engine.waitExit(ReplyMs), std::optional<int>(0));
}

}  // namespace
