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
std::string generated(GeneratorKind kind, const char* fen, bool sortedTexts = false) {
    return texts(generate(kind, setUp(fen)), sortedTexts);
}
bool contains(const std::string& list, const char* move) {
    return (" " + list + " ").find(std::string(" ") + move + " ") != std::string::npos;
}

// Generators must leave the history alone; tests that set it clear it again.
class Generation : public ::testing::Test {
   protected:
    void SetUp() override { std::memset(HistoryTable, 0, sizeof HistoryTable); }
    void TearDown() override { std::memset(HistoryTable, 0, sizeof HistoryTable); }
};

TEST_F(Generation, StartPositionHasNoCapturesAndTwentyQuietsInGenerationOrder) {
    Position& p = setUp(StartFen);
    EXPECT_EQ(generate(GenCaptures, p).count, 0);
    const MoveList quiets = generate(GenQuiets, p);
    EXPECT_EQ(texts(quiets),
              "a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4 "
              "b1a3 b1c3 g1f3 g1h3");
    EXPECT_EQ(quiets.moveWords[12], word("e2e4", KindDoublePush));
}

TEST_F(Generation, QuietMovesAreOrderedByHistoryStably) {
    HistoryTable[WhiteKnight][sq("f3")] = 500;
    HistoryTable[WhitePawn][sq("d4")] = 500;
    HistoryTable[WhitePawn][sq("a3")] = -20;
    const std::string t = texts(generate(GenQuiets, setUp(StartFen)), false, true);
    EXPECT_EQ(t.substr(0, 25), "d2d4:500 g1f3:500 b2b3:0 ");
    EXPECT_EQ(t.substr(t.size() - 9), " a2a3:-20");
}

TEST_F(Generation, CapturesScoreVictimFirstAndPromotionsComeInFour) {
    EXPECT_EQ(
        texts(generate(GenCaptures, setUp("1n2k3/P7/8/3q4/4P3/8/3n4/4K2R w K - 0 1")), false, true),
        "a7b8q:216 e4d5:208 a7b8r:184 a7b8n:184 a7b8b:184 e1d2:179 a7a8q:38 a7a8r:6 "
        "a7a8n:6 a7a8b:6");
}

TEST_F(Generation, PromotionPushesAreCapturesOnlyAndBishopsFollowTheSquare) {
    Position& p = setUp("4k3/1P6/8/8/8/8/6p1/4K3 b - - 0 1");
    MoveList captures = generate(GenCaptures, p);
    std::vector<int> kinds;
    for (int i = 0; i < captures.count; ++i) kinds.push_back(promotionPiece(captures.moveWords[i]));
    EXPECT_EQ(kinds, (std::vector<int>{BlackQueen, BlackRook, BlackKnight, BlackDarkBishop}));
    EXPECT_EQ(texts(generate(GenQuiets, p)).find("g2g1"), std::string::npos);
    const MoveList white = generate(GenCaptures, setUp("4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1"));
    ASSERT_EQ(white.count, 4);
    EXPECT_EQ(promotionPiece(white.moveWords[3]), WhiteDarkBishop);
}

TEST_F(Generation, TargetsLeaveOutUnwantedVictimsButKeepPushPromotions) {
    Position& p = setUp("4k3/P7/8/3pP3/8/8/8/4K3 w - d6 0 2");
    EXPECT_EQ(texts(generate(GenCaptures, p), true), "a7a8b a7a8n a7a8q a7a8r e5d6");
    const Bitboard targets = ~(p.bitboards[BlackPawn] | SquareBit[p.epSquare]);
    EXPECT_EQ(texts(generate(GenCaptures, p, targets), true), "a7a8b a7a8n a7a8q a7a8r");
}

TEST_F(Generation, TheEnemyKingIsNeverCaptured) {
    EXPECT_EQ(generated(GenCaptures, "8/8/8/3k4/4P3/8/8/R3K3 w - - 0 1").find("d5"),
              std::string::npos);
}

TEST_F(Generation, CastlingNeedsEmptyAndUnattackedSquaresAndTheRook) {
    const struct {
        const char *fen, *castles;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1 e1g1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8 e8g8"},
        {"r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1", "e1c1"},
        {"r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", "e1g1"},
        {"1r2k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1 e1g1"},  // b1 may be attacked
        {"2r1k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1"},
        {"r3k1r1/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1"},
        {"r3k2r/8/8/8/8/8/8/4K2R w KQkq - 0 1", "e1g1"},  // rook missing
        {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", ""},
    };
    for (const auto& c : cases) {
        MoveList all = generate(GenQuiets, setUp(c.fen)), castles;
        clearList(castles);
        for (int i = 0; i < all.count; ++i)
            if (moveKind(all.moveWords[i]) == KindCastle) pushMove(castles, all.moveWords[i], 0);
        EXPECT_EQ(texts(castles, true), c.castles) << c.fen;
    }
}

TEST_F(Generation, EvasionsBlockCaptureOrStepAsideRespectingPinsAndDoubleCheck) {
    // Double check (rook on the file, knight on d3): king moves only, in square order.
    EXPECT_EQ(generated(GenEvasions, "4r2k/8/8/8/8/3n4/8/4K3 w - - 0 1"), "e1d1 e1f1 e1d2");
    // The rook on e8 checks along the file; e2 behind the king stays attacked.
    EXPECT_EQ(generated(GenEvasions, "k3r3/8/8/8/8/2N5/3B4/4K2R w K - 0 1", true),
              "c3e2 c3e4 d2e3 e1d1 e1f1 e1f2");
    // The knight on d2, pinned by the bishop on b4, cannot take the checking rook.
    const std::string pinned = generated(GenEvasions, "4k3/8/8/8/1b6/8/3N4/4Kr2 w - - 0 1");
    EXPECT_FALSE(contains(pinned, "d2f1"));
    EXPECT_TRUE(contains(pinned, "e1f1"));
    EXPECT_TRUE(contains(generated(GenEvasions, "4k3/8/8/8/8/8/3N4/4Kr2 w - - 0 1"), "d2f1"));
    // En passant removes the checking pawn unless it opens the g1 bishop's diagonal.
    EXPECT_TRUE(contains(generated(GenEvasions, "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1"), "e4d3"));
    EXPECT_FALSE(contains(generated(GenEvasions, "8/8/8/2k5/3Pp3/8/8/4K1B1 b - d3 0 1"), "e4d3"));
}

TEST_F(Generation, QuietChecksIncludeOpenLineRookMovesAndDiscoveries) {
    EXPECT_EQ(generated(GenQuietChecks, "4k3/8/8/8/8/8/8/R3K3 w - - 0 1"), "a1a8");
    // The bishop between its rook and the enemy king discovers check with every quiet move.
    Position& p = setUp("8/8/8/R2B3k/8/8/8/K7 w - - 0 1");
    MoveList all = generate(GenQuiets, p), checks = generate(GenQuietChecks, p);
    for (MoveList* l : {&all, &checks}) {
        MoveList fromBishop;
        clearList(fromBishop);
        for (int i = 0; i < l->count; ++i)
            if (moveFrom(l->moveWords[i]) == sq("d5")) pushMove(fromBishop, l->moveWords[i], 0);
        *l = fromBishop;
    }
    EXPECT_EQ(checks.count, 13);
    EXPECT_EQ(texts(checks, true), texts(all, true));
}

TEST_F(Generation, CapturesThenQuietsInOneListEndSortedByScore) {
    Position& p = setUp("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    HistoryTable[WhiteQueen][sq("f5")] = 300;
    MoveList l;
    clearList(l);
    generateMoves(GenCaptures, p, l);
    generateMoves(GenQuiets, p, l);
    EXPECT_GE(l.count, 48);
    for (int i = 1; i < l.count; ++i) EXPECT_GE(l.scores[i - 1], l.scores[i]);
    EXPECT_STREQ(moveToText(l.moveWords[0]), "f3f5");
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
