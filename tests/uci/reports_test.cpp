// The texts of the search reports, field by field.
#include "uci/reports.h"

#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/movetext.h"
#include "search/control.h"

namespace {

std::string scoreText(int score) {
    OutputLine line{};
    reportScore(line, score);
    return std::string(line.text, line.length);
}

std::string pvText(std::initializer_list<Move> moves) {
    PvLine pv{};
    for (Move m : moves) pv.moves[pv.count++] = m;
    OutputLine line{};
    reportPvMoves(line, pv);
    return std::string(line.text, line.length);
}

template <typename Report>
std::string printed(Report report) {
    testing::internal::CaptureStdout();
    report();
    return testing::internal::GetCapturedStdout();
}

constexpr Move E2E4 = makeMoveWord(12, 28, KindDoublePush);
constexpr Move E7E5 = makeMoveWord(52, 36, KindDoublePush);
constexpr Move G1F3 = makeMoveWord(6, 21);

TEST(ScoreField, CentipawnsUpToTheMateBound) {
    EXPECT_EQ(scoreText(35), "score cp 35 ");
    EXPECT_EQ(scoreText(-35), "score cp -35 ");
    EXPECT_EQ(scoreText(0), "score cp 0 ");
    EXPECT_EQ(scoreText(29744), "score cp 29744 ");
    EXPECT_EQ(scoreText(-29744), "score cp -29744 ");
}

TEST(ScoreField, MatesCountMovesWithTheSignOfTheWinner) {
    EXPECT_EQ(scoreText(29745), "score mate 128 ");
    EXPECT_EQ(scoreText(30000 - 1), "score mate 1 ");
    EXPECT_EQ(scoreText(30000 - 3), "score mate 2 ");
    EXPECT_EQ(scoreText(30000 - 4), "score mate 2 ");
    EXPECT_EQ(scoreText(-30000 + 2), "score mate -1 ");
    EXPECT_EQ(scoreText(-30000 + 4), "score mate -2 ");
    EXPECT_EQ(scoreText(-30000 + 3), "score mate -1 ");
    EXPECT_EQ(scoreText(-30000), "score mate 0 ");
    EXPECT_EQ(scoreText(-29745), "score mate -127 ");
}

TEST(PvField, EndsInTwoBlanksEvenWhenEmpty) {
    EXPECT_EQ(pvText({}), "pv  ");
    EXPECT_EQ(pvText({E2E4}), "pv e2e4  ");
    EXPECT_EQ(pvText({E2E4, E7E5, G1F3}), "pv e2e4 e7e5 g1f3  ");
}

TEST(PvField, PromotionsCarryTheirLetter) {
    EXPECT_EQ(pvText({makeMoveWord(52, 60, 12 << 12)}), "pv e7e8q  ");
    EXPECT_EQ(pvText({makeMoveWord(9, 0, 5 << 12)}), "pv b2a1n  ");
}

TEST(PvField, AFullLineOfOneHundredTwentySevenMovesFits) {
    PvLine pv{};
    pv.count = 127;
    for (int i = 0; i < 127; ++i) pv.moves[i] = (i % 2) ? E7E5 : E2E4;
    OutputLine line{};
    reportPvMoves(line, pv);
    std::string text(line.text, line.length);
    EXPECT_EQ(text.size(), 3 + 127 * 5 + 1);
    EXPECT_EQ(text.substr(text.size() - 7), " e2e4  ");
}

TEST(PvReport, FieldsComeInOrderWithBlanks) {
    NodeCount = 18446744073709551615ull;  // printed unsigned
    Clock.wallElapsed = 0;                // no time yet: nothing per second
    PvLine pv{};
    pv.count = 2;
    pv.moves[0] = E2E4;
    pv.moves[1] = E7E5;
    EXPECT_EQ(printed([&] { reportPv(-12, 7, 11, pv); }),
              "info depth 7 seldepth 11 nodes 18446744073709551615 score cp -12 nps 0 "
              "pv e2e4 e7e5  \n");
    NodeCount = 3000;
    Clock.wallElapsed = 2.0;
    EXPECT_EQ(printed([&] { reportPv(29999, 1, 1, pv); }),
              "info depth 1 seldepth 1 nodes 3000 score mate 1 nps 1500 pv e2e4 e7e5  \n");
}

TEST(PvReport, ARootWithoutMovesIsMatedOrStalemate) {
    NodeCount = 0;
    Clock.wallElapsed = 0;
    PvLine none{};
    rootInCheck = true;
    EXPECT_EQ(printed([&] { reportPv(NoScore, 1, 0, none); }),
              "info depth 1 seldepth 0 nodes 0 score mate 0 nps 0 pv  \n");
    rootInCheck = false;
    EXPECT_EQ(printed([&] { reportPv(NoScore, 1, 0, none); }),
              "info depth 1 seldepth 0 nodes 0 score cp 0 nps 0 pv  \n");
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

TEST(CurrentMoveLine, HasNoBlankAfterItsNumber) {
    EXPECT_EQ(printed([] { reportCurrentMove(G1F3, 3); }), "info currmove g1f3 currmovenumber 3\n");
}

TEST(BestMoveLine, PonderMoveOnlyWithTwoMovesInTheLine) {
    PvLine pv{};
    EXPECT_EQ(printed([&] { reportBestMove(0, pv); }), "bestmove a1a1 \n");
    pv.count = 1;
    pv.moves[0] = E2E4;
    EXPECT_EQ(printed([&] { reportBestMove(E2E4, pv); }), "bestmove e2e4 \n");
    pv.count = 3;
    pv.moves[1] = E7E5;
    pv.moves[2] = G1F3;
    EXPECT_EQ(printed([&] { reportBestMove(E2E4, pv); }), "bestmove e2e4 ponder e7e5 \n");
}

}  // namespace
