// The training record and the data generator: the record's bytes, its round trip through FEN
// text, and short seeded runs of the generator as a child process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "board/movegen.h"
#include "board/perft.h"
#include "board/positions.h"
#include "datagen/record.h"
#include "search/state.h"
#include "support/engine_pipe.h"
#include "support/scratch_dir.h"

using namespace datagen;

namespace {

const std::string Generator = "'" TOLVO_BUILD_DIR "/tolvo-datagen'";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Runs the generator with its standard error joined to its output; fails the test unless it
// exits with the code.
std::string run(const std::string& arguments, int exitCode = 0) {
    Pipe generator(Generator + " " + arguments + " 2>&1");
    std::string output;
    EXPECT_EQ(generator.finish(output, true, 60000), "exit code " + std::to_string(exitCode))
        << arguments << "\n"
        << output;
    return output;
}

std::vector<TrainingRecord> readRecords(const std::string& path) {
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.size() % RecordBytes, 0u) << path;
    std::vector<TrainingRecord> records;
    for (size_t at = 0; at + RecordBytes <= bytes.size(); at += RecordBytes)
        records.push_back(recordFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()) + at));
    return records;
}

// The legal move of the position that the record's move word names, or 0.
Move legalMoveOf(Position& p, uint16_t word) {
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i)
        if (recordMove(legal.moveWords[i]) == word) return legal.moveWords[i];
    return 0;
}

class DatagenRun : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvo-datagen-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST(TrainingRecord, StartPositionHasTheDocumentedBytes) {
    static Position p;
    loadFen(p, StartFen);
    TrainingRecord r;
    ASSERT_TRUE(encodeRecord(p, -37, 1, makeMoveWord(sq("g1"), sq("f3")), 0, r));
    uint8_t bytes[RecordBytes];
    recordToBytes(r, bytes);
    const uint8_t expected[RecordBytes] = {
        0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,  // occupancy
        0x13, 0x42, 0x25, 0x31, 0x00, 0x00, 0x00, 0x00,  // R N B Q K B N R, 8 white pawns
        0x88, 0x88, 0x88, 0x88, 0x9B, 0xCA, 0xAD, 0xB9,  // 8 black pawns, r n b q k b n r
        0xDB, 0xFF,                                      // score -37
        0x01,                                            // White won
        0x10,                                            // White to move, version 1
        0x46, 0x05,                                      // g1 (6) to f3 (21)
        0x00, 0x00};                                     // ply 0
    for (int i = 0; i < RecordBytes; ++i) EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
    EXPECT_EQ(recordToFen(recordFromBytes(bytes)),
              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
}

TEST(TrainingRecord, MoveWordsNameFromToAndThePromotedType) {
    static Position p;
    loadFen(p, "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    // b8 is a light square: both bishop codes are the one bishop type.
    EXPECT_EQ(recordMove(makeMoveWord(sq("b7"), sq("b8"), WhiteKnight << 12)),
              sq("b7") | sq("b8") << 6 | 1 << 12);
    EXPECT_EQ(recordMove(makeMoveWord(sq("b7"), sq("b8"), WhiteLightBishop << 12)),
              sq("b7") | sq("b8") << 6 | 2 << 12);
    EXPECT_EQ(recordMove(makeMoveWord(sq("b2"), sq("b1"), BlackDarkBishop << 12)),
              sq("b2") | sq("b1") << 6 | 2 << 12);
    EXPECT_EQ(recordMove(makeMoveWord(sq("b7"), sq("b8"), WhiteQueen << 12)),
              sq("b7") | sq("b8") << 6 | 4 << 12);
    EXPECT_EQ(recordMove(makeMoveWord(sq("e1"), sq("g1"), KindCastle)), sq("e1") | sq("g1") << 6);
    // Every legal move of a position with promotions maps to a distinct word.
    loadFen(p, "r3k2r/1P4P1/8/8/8/8/1p4p1/R3K2R w KQkq - 0 1");
    MoveList legal;
    generateLegalMoves(p, legal);
    for (int i = 0; i < legal.count; ++i)
        EXPECT_EQ(legalMoveOf(p, recordMove(legal.moveWords[i])), legal.moveWords[i]);
}

TEST(TrainingRecord, SuitePositionsRoundTripThroughBytesAndFen) {
    static Position p, back;
    for (const SuitePosition& s : perftSuite()) {
        loadFen(p, s.fen.c_str());
        TrainingRecord r;
        ASSERT_TRUE(encodeRecord(p, 123, -1, 0, 77, r)) << s.fen;
        uint8_t bytes[RecordBytes];
        recordToBytes(r, bytes);
        const TrainingRecord decoded = recordFromBytes(bytes);
        EXPECT_EQ(std::memcmp(&decoded, &r, sizeof r), 0) << s.fen;
        EXPECT_EQ(decoded.score, 123);
        EXPECT_EQ(decoded.result, -1);
        EXPECT_EQ(decoded.ply, 77);
        const std::string fen = recordToFen(decoded);
        loadFen(back, fen.c_str());
        for (int sqr = 0; sqr < 64; ++sqr) ASSERT_EQ(back.board[sqr], p.board[sqr]) << s.fen;
        EXPECT_EQ(back.sideToMove, p.sideToMove) << s.fen;
        EXPECT_EQ(fen.substr(fen.size() - 2), "39") << fen;  // full move from ply 77
        // The full FEN text of the position reads back as the same position, keys and all.
        loadFen(back, positionToFen(p, 1).c_str());
        EXPECT_EQ(back.key, p.key) << s.fen << " -> " << positionToFen(p, 1);
    }
}

TEST(TrainingRecord, DecodingRefusesWhatNoVersionOneRecordHolds) {
    static Position p;
    loadFen(p, StartFen);
    TrainingRecord r;
    ASSERT_TRUE(encodeRecord(p, 0, 0, 0, 0, r));
    TrainingRecord bad = r;
    bad.flags = 0x20;  // version 2
    EXPECT_EQ(recordToFen(bad), "");
    bad = r;
    bad.pieces[0] = 0x17;  // type 7
    EXPECT_EQ(recordToFen(bad), "");
    bad = r;
    bad.occupancy = AllSquares;  // 64 pieces in 32 nibbles
    EXPECT_EQ(recordToFen(bad), "");
    // More than 32 pieces cannot be encoded.
    loadFen(p, "rnbqkbnr/pppppppp/8/8/8/N7/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_FALSE(encodeRecord(p, 0, 0, 0, 0, r));
}

TEST_F(DatagenRun, SeededRunRepeatsAndKeepsOnlyQuietSearchedPositions) {
    const std::string args = " --seed 11 --games 3 --nodes 300 --out ";
    const std::string first = run(args + dir + "/a");
    run(args + dir + "/b");
    EXPECT_NE(first.find("done: games 3"), std::string::npos) << first;
    const std::string bytes = readFile(dir + "/a-11.bin");
    ASSERT_GT(bytes.size(), 0u);
    EXPECT_EQ(bytes, readFile(dir + "/b-11.bin"));
    EXPECT_FALSE(exists(dir + "/a-11.bin.part"));

    static Position p;
    int games = 0, lastPly = INT32_MAX, gameResult = 0;
    for (const TrainingRecord& r : readRecords(dir + "/a-11.bin")) {
        const std::string fen = recordToFen(r);
        ASSERT_FALSE(fen.empty());
        if (r.ply <= lastPly) {
            ++games;
            gameResult = r.result;
        }
        lastPly = r.ply;
        EXPECT_GE(r.ply, 8) << "a random opening ply was written: " << fen;
        EXPECT_TRUE(r.result == -1 || r.result == 0 || r.result == 1) << int(r.result);
        EXPECT_EQ(r.result, gameResult) << "one game, one result: " << fen;
        EXPECT_LE(std::abs(r.score), MateBound) << fen;
        loadFen(p, fen.c_str());
        ASSERT_TRUE(isSearchable(p)) << fen;
        EXPECT_FALSE(isSquareAttacked(p, p.kingSquare[p.sideToMove], p.sideToMove ^ 1)) << fen;
        Move m = legalMoveOf(p, r.move);
        const int from = r.move & 63, to = r.move >> 6 & 63;
        if (!m && isKing(p.board[from]) && std::abs(fileOf(to) - fileOf(from)) == 2) {
            // Castling: the record keeps no castling rights, so give back the one it used.
            const char right = "QKqk"[2 * colorOf(p.board[from]) + (fileOf(to) == 6)];
            std::string withRight = fen;
            withRight.replace(withRight.find(" - - "), 5, std::string(" ") + right + " - ");
            loadFen(p, withRight.c_str());
            m = legalMoveOf(p, r.move);
            EXPECT_EQ(moveKind(m), KindCastle) << withRight;
        }
        ASSERT_NE(m, 0) << "not a legal move: " << r.move << " in " << fen;
        EXPECT_EQ(p.board[moveTo(m)], Empty) << fen;
        EXPECT_NE(moveKind(m), KindEnPassant) << fen;
        EXPECT_FALSE(isPromotion(m)) << fen;
    }
    EXPECT_GE(games, 1);
    EXPECT_LE(games, 3);
}

TEST_F(DatagenRun, JobsRunAsSeedsOfTheirOwnAndARerunSkipsCompleteFiles) {
    run("--seed 11 --games 2 --nodes 300 --out " + dir + "/one");
    const std::string output = run("--jobs 2 --seed 11 --games 1 --nodes 300 --out " + dir + "/j");
    EXPECT_NE(output.find("all 2 jobs done"), std::string::npos) << output;
    const std::string eleven = readFile(dir + "/j-11.bin");
    const std::string twelve = readFile(dir + "/j-12.bin");
    ASSERT_GT(eleven.size(), 0u);
    ASSERT_GT(twelve.size(), 0u);
    // A game depends on its seed and number alone: the one-game job is the two-game run's start.
    EXPECT_EQ(readFile(dir + "/one-11.bin").substr(0, eleven.size()), eleven);
    EXPECT_NE(eleven, twelve.substr(0, eleven.size()));
    EXPECT_FALSE(exists(dir + "/j-11.bin.part") || exists(dir + "/j-12.bin.part"));

    // A rerun leaves the complete files alone.
    std::ofstream(dir + "/j-12.bin", std::ios::binary) << "kept";
    const std::string rerun = run("--jobs 2 --seed 11 --games 1 --nodes 300 --out " + dir + "/j");
    EXPECT_NE(rerun.find("j-11.bin is complete, skipped"), std::string::npos) << rerun;
    EXPECT_EQ(readFile(dir + "/j-12.bin"), "kept");
}

TEST_F(DatagenRun, NetworkRunsLabelWithTheNetworkAndRepeat) {
    const std::string args = " --seed 11 --games 2 --nodes 300 --out ";
    run(args + dir + "/hand");
    const std::string learned = run(args + dir + "/net --learned");
    EXPECT_NE(learned.find("evaluation network (embedded)"), std::string::npos) << learned;
    run(args + dir + "/again --learned");
    const std::string bytes = readFile(dir + "/net-11.bin");
    ASSERT_GT(bytes.size(), 0u);
    EXPECT_EQ(bytes, readFile(dir + "/again-11.bin"));
    // The same games with the hand-written evaluation score otherwise.
    EXPECT_NE(bytes, readFile(dir + "/hand-11.bin"));
    run(args + dir + "/missing --evalfile " + dir + "/no-such.nnue", 2);
}

TEST_F(DatagenRun, WideOpeningsPlayMoreRandomPliesAndLeaveOtherRunsAsTheyWere) {
    const std::string args = " --seed 11 --games 3 --nodes 300 --out ";
    run(args + dir + "/plain");
    run(args + dir + "/zero --wide-share 0");
    EXPECT_EQ(readFile(dir + "/plain-11.bin"), readFile(dir + "/zero-11.bin"));
    run(args + dir + "/wide --wide-share 100 --wide-plies 14 --wide-margin 600");
    const std::vector<TrainingRecord> records = readRecords(dir + "/wide-11.bin");
    ASSERT_FALSE(records.empty());
    for (const TrainingRecord& r : records)
        EXPECT_GE(r.ply, 14) << "a random opening ply was written: " << recordToFen(r);
    run("--openings " + dir + "/o.fen --count 1 --wide-share 10", 2);
}

TEST_F(DatagenRun, OpeningsAreDistinctPlayablePositionsAfterTheRandomPlies) {
    const std::string path = dir + "/openings.fen";
    run("--openings " + path + " --count 6 --seed 777 --nodes 300");
    std::istringstream lines(readFile(path));
    std::vector<uint64_t> keys;
    static Position p;
    for (std::string line; std::getline(lines, line);) {
        loadFen(p, line.c_str());
        EXPECT_TRUE(isSearchable(p)) << line;
        EXPECT_EQ(p.sideToMove, uint32_t(White)) << line;  // after eight plies
        EXPECT_EQ(line.substr(line.size() - 2), " 5") << line;
        for (uint64_t k : keys) EXPECT_NE(k, p.key) << line;
        keys.push_back(p.key);
    }
    EXPECT_EQ(keys.size(), 6u);
    // Another seed, other openings.
    run("--openings " + dir + "/other.fen --count 6 --seed 778 --nodes 300");
    EXPECT_NE(readFile(dir + "/other.fen"), readFile(path));
}

// Chess960 openings: random plies from start positions drawn from the seed, their rights
// written by rook file wherever a rook is off its corner; then both engines play them with
// "UCI_Chess960" on (to a fixed depth: the point is the moves, not the clock), and the referee,
// reading castling as the king taking its rook, finds no illegal move.
TEST_F(DatagenRun, Chess960OpeningsComeFromManyStartsAndArePlayedWithTheOption) {
    const std::string path = dir + "/openings960.fen";
    run("--openings " + path + " --count 8 --seed 5 --nodes 300 --random-plies 2 --chess960");
    std::istringstream lines(readFile(path));
    std::set<std::string> backRanks;
    static Position p;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        loadFen(p, line.c_str());
        EXPECT_TRUE(isSearchable(p)) << line;
        backRanks.insert(line.substr(line.rfind('/') + 1, line.find(' ') - line.rfind('/') - 1));
        // Read back, the rights name the same rooks.
        static Position again;
        loadFen(again, positionToFen(p, 2).c_str());
        EXPECT_EQ(std::make_tuple(again.castleRights, again.key),
                  std::make_tuple(p.castleRights, p.key))
            << line;
        const bool corners = p.castleRooks.square[0] == 7 && p.castleRooks.square[1] == 0;
        if (!corners && (p.castleRights & 3)) {
            EXPECT_EQ(line.find(" KQ"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(count, 8);
    EXPECT_GE(backRanks.size(), 6u);

    Pipe referee("'" TOLVO_BUILD_DIR "/tolvo-selfplay' --games 2 --depth 4 --openings " + path +
                 " --option UCI_Chess960=true 2>&1");
    std::string output;
    EXPECT_EQ(referee.finish(output, true, 120000), "exit code 0") << output;
    EXPECT_NE(output.find("2 games: "), std::string::npos) << output;
    EXPECT_NE(output.find("illegal 0, crashes 0, time losses 0"), std::string::npos) << output;
}

TEST(Datagen, UsageErrorsExitWithTwo) {
    const ScratchDir dir("tolvo-datagen-usage");
    const std::string x = dir.path + "/x", y = dir.path + "/y";
    run("--games 1", 2);
    run("--out " + x + " --openings " + y + " --count 1", 2);
    run("--openings " + y, 2);
    run("--out " + x + " --nodes 0", 2);
    run("--out " + x + " --jobs 1x", 2);
}

}  // namespace
