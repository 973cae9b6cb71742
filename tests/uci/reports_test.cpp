// The texts of the search reports, field by field. Which reports a search prints, and when,
// is seen through the pipe.
#include "uci/reports.h"

#include <gtest/gtest.h>

#include <string>

#include "board/types.h"
#include "search/control.h"
#include "search/threads.h"
#include "search/tt.h"

namespace {

PvLine line(std::initializer_list<Move> moves) {
    PvLine pv{};
    for (Move m : moves) pv.moves[pv.count++] = m;
    return pv;
}
std::string pvReport(int score, int depth, int selDepth, const PvLine& pv) {
    testing::internal::CaptureStdout();
    reportPv(score, depth, selDepth, pv);
    return testing::internal::GetCapturedStdout();
}
std::string bestMove(Move m, const PvLine& pv) {
    testing::internal::CaptureStdout();
    reportBestMove(m, pv);
    return testing::internal::GetCapturedStdout();
}

constexpr Move E2E4 = makeMoveWord(12, 28, KindDoublePush);
constexpr Move E7E5 = makeMoveWord(52, 36, KindDoublePush);

TEST(ScoreField, CentipawnsUpToTheMateBoundThenMovesToMateWithTheSignOfTheWinner) {
    const std::pair<int, const char*> cases[] = {
        {35, "cp 35"},           {-35, "cp -35"},         {29744, "cp 29744"},
        {-29744, "cp -29744"},   {29745, "mate 128"},     {30000 - 1, "mate 1"},
        {30000 - 3, "mate 2"},   {30000 - 4, "mate 2"},   {-30000 + 2, "mate -1"},
        {-30000 + 4, "mate -2"}, {-30000 + 3, "mate -1"}, {-29745, "mate -127"}};
    for (const auto& [score, text] : cases) {
        OutputLine out{};
        reportScore(out, score);
        EXPECT_EQ(std::string(out.text, out.length), "score " + std::string(text) + " ") << score;
    }
}

TEST(PvReport, FieldsComeInOrderAndTheLineEndsInTwoBlanks) {
    mainThread().nodeCount = 18446744073709551615ull;  // printed unsigned
    Clock.wallElapsed = 0;                             // no time yet: nothing per second
    EXPECT_EQ(pvReport(-12, 7, 11, line({E2E4, E7E5})),
              "info depth 7 seldepth 11 nodes 18446744073709551615 score cp -12 nps 0 "
              "pv e2e4 e7e5  \n");
    mainThread().nodeCount = 3000;
    Clock.wallElapsed = 2.0;
    EXPECT_EQ(
        pvReport(29999, 1, 1, line({makeMoveWord(52, 60, 12 << 12), makeMoveWord(9, 0, 5 << 12)})),
        "info depth 1 seldepth 1 nodes 3000 score mate 1 nps 1500 pv e7e8q b2a1n  \n");
    // One of several lines gives its number after the selective depth.
    testing::internal::CaptureStdout();
    reportPv(-12, 7, 11, line({E2E4}), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "info depth 7 seldepth 11 multipv 2 nodes 3000 score cp -12 nps 1500 pv e2e4  \n");
    PvLine full{};  // a full line of 127 moves fits
    std::string expected = "info depth 1 seldepth 1 nodes 3000 score cp 0 nps 1500 pv ";
    for (full.count = 0; full.count < 127; ++full.count, expected += "e2e4 ")
        full.moves[full.count] = E2E4;
    EXPECT_EQ(pvReport(0, 1, 1, full), expected + " \n");
    // A root without moves is mated or stalemate.
    mainThread().nodeCount = 0;
    Clock.wallElapsed = 0;
    for (bool check : {true, false}) {
        rootInCheck = check;
        EXPECT_EQ(pvReport(NoScore, 1, 0, PvLine{}),
                  std::string("info depth 1 seldepth 0 nodes 0 score ") +
                      (check ? "mate 0" : "cp 0") + " nps 0 pv  \n");
    }
}

TEST(OtherReports, NodesCurrentMoveAndBestMoveWithItsPonderMove) {
    // The nodes of every searching thread count.
    setSearchThreads(2);
    mainThread().nodeCount = 300;
    searchThread(1).nodeCount = 200;
    Clock.wallElapsed = 0.25;
    // The fill counts the used slots of this search among the first thousand.
    tableGeneration = 3;
    for (int i = 0; i < 300; ++i) tableBase[i].head.store(uint64_t(i < 250 ? 3 : 2) << 32 | 1);
    testing::internal::CaptureStdout();
    reportNodes(true);
    clearTable();
    setSearchThreads(1);
    reportCurrentMove(makeMoveWord(6, 21), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "info nodes 500 nps 2000 time 250 hashfull 250 \n"
              "info currmove g1f3 currmovenumber 3\n");
    EXPECT_EQ(bestMove(0, PvLine{}), "bestmove a1a1 \n");
    EXPECT_EQ(bestMove(E2E4, line({E2E4})), "bestmove e2e4 \n");
    EXPECT_EQ(bestMove(E2E4, line({E2E4, E7E5, E2E4})), "bestmove e2e4 ponder e7e5 \n");
}

}  // namespace
