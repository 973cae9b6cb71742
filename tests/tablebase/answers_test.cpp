// The tablebase layer against Debian's command-line prober: the value, the distance to zero and
// the root rankings of 2,400 random 3- and 4-piece positions (tests/data/syzygy_answers.txt,
// written by tools/syzygy_answers.py), and the moves it names checked against their children.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "board/position.h"
#include "support/table_folder.h"
#include "tablebase/tablebase.h"

namespace {

struct Answer {
    std::string fen, wdl;
    int dtz, winning, drawing, losing, dtzRank, dtzRanked, wdlRank, wdlRanked;
};

std::vector<Answer> readAnswers() {
    std::vector<Answer> answers;
    std::ifstream in(TOLVO_SOURCE_DIR "/tests/data/syzygy_answers.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream fieldText(line);
        for (std::string f; std::getline(fieldText, f, '|');) {
            const size_t first = f.find_first_not_of(' '), last = f.find_last_not_of(' ');
            fields.push_back(first == std::string::npos ? "" : f.substr(first, last - first + 1));
        }
        if (fields.size() != 10) continue;
        answers.push_back(Answer{fields[0], fields[1], std::stoi(fields[2]), std::stoi(fields[3]),
                                 std::stoi(fields[4]), std::stoi(fields[5]), std::stoi(fields[6]),
                                 std::stoi(fields[7]), std::stoi(fields[8]), std::stoi(fields[9])});
    }
    return answers;
}

const char* wdlName(Wdl w) {
    switch (w) {
        case Wdl::Loss:
            return "Loss";
        case Wdl::BlessedLoss:
            return "BlessedLoss";
        case Wdl::Draw:
            return "Draw";
        case Wdl::CursedWin:
            return "CursedWin";
        default:
            return "Win";
    }
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(TablebaseAnswers, ValuesDistancesAndRankingsAgreeWithTheCommandLineProber) {
    const std::vector<Answer> answers = readAnswers();
    ASSERT_GE(answers.size(), 2000u);
    const TableScan scan = loadTablebases(TestTables);
    ASSERT_EQ(scan.tables, 35);
    ASSERT_EQ(tablebaseLargest(), 4);
    static Position p, child;
    int enPassant = 0, blackToMove = 0, promotions = 0, wdlProbes = 0;
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.fen);
        loadFen(p, a.fen.c_str());
        ASSERT_TRUE(isSearchable(p));
        enPassant += p.epSquare != NoSquare;
        blackToMove += p.sideToMove == Black;

        Wdl wdl;
        int dtz = 0;
        ASSERT_TRUE(probeDtz(p, wdl, dtz));
        EXPECT_STREQ(wdlName(wdl), a.wdl.c_str());
        EXPECT_EQ(dtz < 0 ? -dtz : dtz, a.dtz);
        EXPECT_EQ(sign(dtz), sign(int(wdl)));
        // The search's probe answers only with a fresh counter, where it must agree.
        Wdl nodeWdl;
        EXPECT_EQ(probeWdl(p, nodeWdl), p.rule50 == 0);
        if (p.rule50 == 0) {
            ++wdlProbes;
            // The prober's command line counts a win over 100 plies as cursed, as the rule does.
            EXPECT_EQ(nodeWdl, wdl == Wdl::Win || wdl == Wdl::CursedWin
                                   ? (a.dtz <= 100 ? Wdl::Win : Wdl::CursedWin)
                               : wdl == Wdl::Loss || wdl == Wdl::BlessedLoss
                                   ? (a.dtz <= 100 ? Wdl::Loss : Wdl::BlessedLoss)
                                   : Wdl::Draw);
        }

        RootRanking ranking;
        ASSERT_TRUE(rankRootMoves(p, true, ranking));
        EXPECT_TRUE(ranking.byDtz);
        EXPECT_EQ(ranking.bestRank, a.dtzRank);
        EXPECT_EQ(ranking.best.count, a.dtzRanked);
        // Every legal move once: no two of the prober's moves read as the same word.
        MoveList legal;
        generateLegalMoves(p, legal);
        ASSERT_EQ(ranking.ranked.count, legal.count);
        for (int i = 0; i < legal.count; ++i)
            EXPECT_EQ(std::count(ranking.ranked.moveWords, ranking.ranked.moveWords + legal.count,
                                 legal.moveWords[i]),
                      1);
        int winning = 0, losing = 0;
        for (int i = 0; i < ranking.ranked.count; ++i) {
            const int rank = ranking.ranked.scores[i];
            winning += rank >= 900;
            losing += rank <= -900;
            // Each move word is the prober's move: its child's value is the rank's mirror.
            child = p;
            UndoInfo undo;
            SearchStackEntry stack[2] = {};
            child.stack = stack;
            makeMove(child, undo, ranking.ranked.moveWords[i]);
            Wdl childWdl;
            int childDtz = 0;
            ASSERT_TRUE(probeDtz(child, childWdl, childDtz));
            EXPECT_EQ(sign(rank), -sign(int(childWdl))) << i;
            promotions += isPromotion(ranking.ranked.moveWords[i]);
        }
        EXPECT_EQ(winning, a.winning);
        EXPECT_EQ(losing, a.losing);
        EXPECT_EQ(ranking.ranked.count - winning - losing, a.drawing);
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(enPassant, 200);
    EXPECT_GT(blackToMove, 800);
    EXPECT_GT(promotions, 100);
    EXPECT_GT(wdlProbes, 1500);
}

TEST(TablebaseAnswers, WithoutDistanceFilesTheRootIsRankedByValueAsTheProberRanksIt) {
    const std::vector<Answer> answers = readAnswers();
    ScratchFolder wdlOnly;
    ASSERT_FALSE(wdlOnly.path.empty());
    wdlOnly.copyAll(".rtbw");
    const TableScan scan = loadTablebases(wdlOnly.path);
    ASSERT_EQ(scan.tables, 35);
    EXPECT_EQ(scan.dtzTables, 0);
    static Position p;
    int byValue = 0;
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.fen);
        loadFen(p, a.fen.c_str());
        RootRanking ranking;
        ASSERT_TRUE(rankRootMoves(p, true, ranking));
        // A root whose every move draws needs no distance file: the prober ranks it by
        // distance all the same, and the ranks are those of the distance ranking.
        byValue += !ranking.byDtz;
        EXPECT_EQ(ranking.bestRank, ranking.byDtz ? a.dtzRank : a.wdlRank);
        EXPECT_EQ(ranking.best.count, ranking.byDtz ? a.dtzRanked : a.wdlRanked);
        Wdl wdl;
        int dtz;
        // The distance is known without its file only where best play zeroes at once or
        // draws; then it is the same as with the file.
        if (probeDtz(p, wdl, dtz)) {
            EXPECT_STREQ(wdlName(wdl), a.wdl.c_str());
            EXPECT_EQ(dtz < 0 ? -dtz : dtz, a.dtz);
        }
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(byValue, 1000) << "of " << answers.size();
    loadTablebases("");
}

}  // namespace
