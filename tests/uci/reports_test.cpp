// The texts of the search reports, field by field.
#include "uci/reports.h"

#include <gtest/gtest.h>

#include <string>

#include "board/types.h"
#include "search/control.h"

namespace {

template <typename Report>
std::string printed(Report report) {
    testing::internal::CaptureStdout();
    report();
    return testing::internal::GetCapturedStdout();
}

PvLine line(std::initializer_list<Move> moves) {
    PvLine pv{};
    for (Move m : moves) pv.moves[pv.count++] = m;
    return pv;
}

constexpr Move E2E4 = makeMoveWord(12, 28, KindDoublePush);
constexpr Move E7E5 = makeMoveWord(52, 36, KindDoublePush);
constexpr Move G1F3 = makeMoveWord(6, 21);

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
    NodeCount = 18446744073709551615ull;  // printed unsigned
    Clock.wallElapsed = 0;                // no time yet: nothing per second
    EXPECT_EQ(printed([] {
                  reportPv(-12, 7, 11, line({E2E4, E7E5}));
              }),
              "info depth 7 seldepth 11 nodes 18446744073709551615 score cp -12 nps 0 "
              "pv e2e4 e7e5  \n");
    NodeCount = 3000;
    Clock.wallElapsed = 2.0;
    const Move promotions[2] = {makeMoveWord(52, 60, 12 << 12), makeMoveWord(9, 0, 5 << 12)};
    EXPECT_EQ(printed([&] {
                  reportPv(29999, 1, 1, line({promotions[0], promotions[1]}));
              }),
              "info depth 1 seldepth 1 nodes 3000 score mate 1 nps 1500 pv e7e8q b2a1n  \n");
    // A full line of 127 moves fits.
    PvLine full{};
    std::string expected = "info depth 1 seldepth 1 nodes 3000 score cp 0 nps 1500 pv ";
    for (full.count = 0; full.count < 127; ++full.count, expected += "e2e4 ")
        full.moves[full.count] = E2E4;
    EXPECT_EQ(printed([&] { reportPv(0, 1, 1, full); }), expected + " \n");
}

TEST(PvReport, ARootWithoutMovesIsMatedOrStalemate) {
    NodeCount = 0;
    Clock.wallElapsed = 0;
    for (bool check : {true, false}) {
        rootInCheck = check;
        EXPECT_EQ(printed([] { reportPv(NoScore, 1, 0, PvLine{}); }),
                  std::string("info depth 1 seldepth 0 nodes 0 score ") +
                      (check ? "mate 0" : "cp 0") + " nps 0 pv  \n");
    }
}

TEST(NodeReport, FirstReportPrintsThenOncePerThousandSecondsUnlessForced) {
    NodeCount = 500;
    Clock.wallElapsed = 0.25;
    Clock.wallNow = 5.0;  // a clock started moments ago: the first report still prints
    EXPECT_EQ(printed([] { reportNodes(false); }),
              "info nodes 500 nps 2000 time 250 hashfull 0 \n");
    Clock.wallNow = 900.0;
    EXPECT_EQ(printed([] { reportNodes(false); }), "");
    EXPECT_NE(printed([] { reportNodes(true); }), "");
    Clock.wallNow = 1900.0;
    EXPECT_EQ(printed([] { reportNodes(false); }), "");
    Clock.wallNow = 1900.5;
    EXPECT_NE(printed([] { reportNodes(false); }), "");
}

TEST(BestMoveLine, PonderMoveOnlyWithTwoMovesInTheLine) {
    EXPECT_EQ(printed([] { reportCurrentMove(G1F3, 3); }), "info currmove g1f3 currmovenumber 3\n");
    EXPECT_EQ(printed([] { reportBestMove(0, PvLine{}); }), "bestmove a1a1 \n");
    EXPECT_EQ(printed([] { reportBestMove(E2E4, line({E2E4})); }), "bestmove e2e4 \n");
    EXPECT_EQ(printed([] {
                  reportBestMove(E2E4, line({E2E4, E7E5, G1F3}));
              }),
              "bestmove e2e4 ponder e7e5 \n");
}

}  // namespace
