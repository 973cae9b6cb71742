#include "board/movegen.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "board/positions.h"

namespace {

MoveList generate(GeneratorKind kind, Position& p, Bitboard targets = AllSquares) {
    MoveList l;
    clearList(l);
    generateMoves(kind, p, l, targets);
    return l;
}
// The list as "e2e4 g1f3" in list order, or sorted; with scores as "e2e4:12".
std::string texts(const MoveList& l, bool sortedTexts = false, bool withScores = false) {
    std::vector<std::string> out;
    for (int i = 0; i < l.count; ++i)
        out.push_back(moveToText(l.moveWords[i]) +
                      (withScores ? ":" + std::to_string(l.scores[i]) : std::string()));
    if (sortedTexts) std::sort(out.begin(), out.end());
    std::string joined;
    for (const std::string& t : out) joined += (joined.empty() ? "" : " ") + t;
    return joined;
}

// Legality, completeness and the agreement of the generators are proved by the perft suite
// and the suite walk; what they cannot see is the order, the scores and the targets.
TEST(Generation, StartPositionHasNoCapturesAndTwentyQuietsInGenerationOrder) {
    std::memset(HistoryTable, 0, sizeof HistoryTable);
    Position& p = setUp(StartFen);
    EXPECT_EQ(generate(GenCaptures, p).count, 0);
    const MoveList quiets = generate(GenQuiets, p);
    EXPECT_EQ(texts(quiets),
              "a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4 "
              "b1a3 b1c3 g1f3 g1h3");
    EXPECT_EQ(quiets.moveWords[12], word("e2e4", KindDoublePush));
}

TEST(Generation, CapturesScoreVictimFirstAndPromotionsComeInFour) {
    EXPECT_EQ(
        texts(generate(GenCaptures, setUp("1n2k3/P7/8/3q4/4P3/8/3n4/4K2R w K - 0 1")), false, true),
        "a7b8q:216 e4d5:208 a7b8r:184 a7b8n:184 a7b8b:184 e1d2:179 a7a8q:38 a7a8r:6 "
        "a7a8n:6 a7a8b:6");
}

TEST(Generation, TargetsLeaveOutUnwantedVictimsButKeepPushPromotions) {
    Position& p = setUp("4k3/P7/8/3pP3/8/8/8/4K3 w - d6 0 2");
    EXPECT_EQ(texts(generate(GenCaptures, p), true), "a7a8b a7a8n a7a8q a7a8r e5d6");
    const Bitboard targets = ~(p.bitboards[BlackPawn] | SquareBit[p.epSquare]);
    EXPECT_EQ(texts(generate(GenCaptures, p, targets), true), "a7a8b a7a8n a7a8q a7a8r");
}

TEST(MoveLists, GeneratorsStopAtTheListsCapacity) {
    Position& p = setUp("QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K w - - 0 1");
    struct Guarded {
        MoveList list;
        uint64_t canary;
    } g;
    g.canary = 0x5A5A5A5A5A5A5A5Aull;
    clearList(g.list);
    generateMoves(GenCaptures, p, g.list);
    for (int i = 0; i < 4; ++i) generateMoves(GenQuiets, p, g.list);
    EXPECT_EQ(g.list.count, MaxMoves);
    EXPECT_EQ(g.canary, 0x5A5A5A5A5A5A5A5Aull);
}

}  // namespace
