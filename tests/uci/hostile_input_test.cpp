// One long session of hostile input through the pipe: binary garbage, NUL bytes, megabyte
// lines, a game of thousands of moves, absurd options and limits. Each "go" is awaited before the
// next line; the engine must answer each with exactly one "bestmove", keep answering "isready", and
// still play a legal move at the end.
#include <algorithm>
#include <random>

#include "support/engine_pipe.h"

namespace {

class HostileInput : public EitherEngineTest {
   protected:
    // "isready" still answered, and no "bestmove" left over from an earlier search.
    void stillReady(int ms = 30000) {
        EXPECT_EQ(countPrefix(engine.ready(ms), "bestmove"), 0) << "a bestmove nobody asked for";
    }
    // A "go" that ends by itself; returns the move of its one "bestmove" line.
    std::string search(const std::string& go) {
        SCOPED_TRACE(go);
        const std::vector<std::string> lines = engine.go(go, 30000);
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        stillReady();
        const std::string best = lastWithPrefix(lines, "bestmove");
        return best.substr(9, best.find(' ', 9) - 9);
    }
    // A "go" that runs until "stop": nothing may come before it, one "bestmove" after it.
    void searchUntilStop(const std::string& go) {
        SCOPED_TRACE(go);
        EXPECT_TRUE(engine.send(go));
        std::vector<std::string> lines = engine.within(300);
        for (const std::string& l : engine.ready(30000)) lines.push_back(l);  // mid-search
        EXPECT_EQ(countPrefix(lines, "bestmove"), 0) << "ended before stop";
        EXPECT_TRUE(engine.send("stop"));
        EXPECT_TRUE(engine.until("bestmove", &lines));
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1);
        stillReady();
    }
    // A position the engine searches is answered with one of its legal moves.
    void searched(const std::string& position) {
        SCOPED_TRACE(position.substr(0, 100));
        EXPECT_TRUE(engine.send(position));
        const std::vector<std::string> legal = legalMoveTexts(position);
        const std::string best = search("go depth 3");
        EXPECT_NE(std::find(legal.begin(), legal.end(), best), legal.end()) << best;
    }
};

TEST_P(HostileInput, EveryGoGetsOneBestMoveAndTheEngineStillPlaysLegallyAfterwards) {
    // Before any "position": the empty board, which the engine refuses to search.
    EXPECT_EQ(search("go depth 3"), "a1a1");

    // Binary garbage, with and without line feeds, NUL bytes and lone carriage returns.
    std::mt19937 random(20240611);
    std::string garbage;
    for (int i = 0; i < 200000; ++i) {
        char c = char(random() & 0xFF);
        // No line may begin with "go" by chance: that would be a search nobody awaits.
        if (c == 'g' && (garbage.empty() || garbage.back() == '\n')) c = 'G';
        garbage += c;
    }
    EXPECT_TRUE(engine.send(garbage));
    EXPECT_TRUE(engine.send(std::string("isready\0after a NUL byte", 24)));
    EXPECT_EQ(engine.line(), std::optional<std::string>("readyok"))
        << "a NUL byte ends the command like the end of the line";
    EXPECT_TRUE(engine.send(std::string("\0\0\0\n\r\r\n\x1b[A\n\xff\xfe", 13)));
    stillReady();

    // Lines of a megabyte: the first 65,535 bytes are read, the rest is dropped, and nothing
    // of a long line leaks into the next one.
    EXPECT_TRUE(engine.send(std::string(1 << 20, 'x')));
    EXPECT_TRUE(engine.send(std::string(70000, 'y') + "isready"));
    stillReady();
    EXPECT_TRUE(engine.send("position startpos moves " + std::string(1 << 20, ' ')));
    EXPECT_TRUE(engine.send("go depth 1 " + std::string(1 << 20, 'x')));
    EXPECT_TRUE(engine.until("bestmove", nullptr, 30000));
    stillReady();

    // A game of 5,000 moves: the knights go out and back 1,250 times; the same after a FEN
    // whose half-move counter reaches back before the history.
    std::string game = "position startpos moves";
    for (int i = 0; i < 1250; ++i) game += " g1f3 g8f6 f3g1 f6g8";
    searched(game);
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 99999999999999999999 1");
    searched("position fen k7/8/8/8/8/8/8/K6R w - - 90 1 moves a1b1 a8b8 b1a1 b8a8 a1b1");

    // Broken FENs and move lists (read in-process by the FEN and position command tests).
    searched("position startpos moves e2e4 zzzz e7e5");
    searched("position fen rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w kqKQ d6 0 3");

    // Table sizes out of range: below the minimum, and beyond any 64-bit number. The largest
    // table (2 GB, cleared before "readyok") takes long under the thread sanitizer on a busy
    // machine.
    for (const char* hash : {"-5", "0", "99999999999", "16"}) {
        EXPECT_TRUE(engine.send(std::string("setoption name Hash value ") + hash));
        stillReady(120000);
    }

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

    // After all this, a normal game goes on as if nothing had happened.
    searched("position startpos");
    EXPECT_TRUE(engine.send("quit"));
    std::string output;
    EXPECT_EQ(engine.finish(output, false), "exit code 0");
}

RUN_FOR_EITHER_ENGINE(HostileInput);

}  // namespace
