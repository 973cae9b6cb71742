#include "board/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "board/squares.h"

namespace {

struct Prepared {
    Position p;
    SearchStackEntry entry;
};
Prepared& prepare(const char* fen) {
    static Prepared s;
    loadFen(s.p, fen);
    s.entry = SearchStackEntry{};
    s.p.stack = &s.entry;
    const Color us = Color(s.p.sideToMove);
    s.entry.inCheck = isSquareAttacked(s.p, s.p.kingSquare[us], us ^ 1);
    s.entry.pinned = pinnedPieces(s.p, us);
    return s;
}

// The list as "e2e4:score" texts in list order.
std::vector<std::string> texts(const MoveList& l, bool withScores = false) {
    std::vector<std::string> out;
    for (int i = 0; i < l.count; ++i) {
        std::string t = moveToText(l.moveWords[i]);
        if (withScores) t += ":" + std::to_string(l.scores[i]);
        out.push_back(t);
    }
    return out;
}
MoveList generate(GeneratorKind kind, Position& p, Bitboard targets = AllSquares) {
    MoveList l;
    clearList(l);
    generateMoves(kind, p, l, targets);
    return l;
}

// Generators must leave the history alone; tests that set it clear it again.
class ClearHistory : public ::testing::Test {
   protected:
    void SetUp() override { std::memset(HistoryTable, 0, sizeof HistoryTable); }
    void TearDown() override { std::memset(HistoryTable, 0, sizeof HistoryTable); }
};

using Generation = ClearHistory;

TEST_F(Generation, StartPositionHasNoCapturesAndTwentyQuietsInGenerationOrder) {
    Position& p = prepare(StartFen).p;
    EXPECT_EQ(generate(GenCaptures, p).count, 0);
    const std::vector<std::string> expected = {
        "a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
        "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    MoveList quiets = generate(GenQuiets, p);
    EXPECT_EQ(texts(quiets), expected);
    EXPECT_EQ(quiets.moveWords[12], 0x370C) << "e2e4 is a double push word";
}

TEST_F(Generation, QuietMovesAreOrderedByHistoryStably) {
    Position& p = prepare(StartFen).p;
    HistoryTable[WhiteKnight][sq("f3")] = 500;
    HistoryTable[WhitePawn][sq("d4")] = 500;
    HistoryTable[WhitePawn][sq("a3")] = -20;
    MoveList quiets = generate(GenQuiets, p);
    const std::vector<std::string> t = texts(quiets, true);
    EXPECT_EQ(t[0], "d2d4:500");
    EXPECT_EQ(t[1], "g1f3:500");
    EXPECT_EQ(t[2], "b2b3:0");
    EXPECT_EQ(t.back(), "a2a3:-20");
}

TEST_F(Generation, CapturesScoreVictimFirstAndPromotionsComeInFour) {
    Position& p = prepare("1n2k3/P7/8/3q4/4P3/8/3n4/4K2R w K - 0 1").p;
    const std::vector<std::string> expected = {"a7b8q:216", "e4d5:208", "a7b8r:184", "a7b8n:184",
                                               "a7b8b:184", "e1d2:179", "a7a8q:38",  "a7a8r:6",
                                               "a7a8n:6",   "a7a8b:6"};
    EXPECT_EQ(texts(generate(GenCaptures, p), true), expected);
    EXPECT_EQ(CaptureScore[WhitePawn][BlackQueen], 208);
    EXPECT_EQ(CaptureScore[WhiteKing][BlackPawn], 171);
    EXPECT_EQ(CaptureScore[WhiteKing][Empty], 7);
    EXPECT_EQ(CaptureScore[WhiteKnight][WhitePawn], 0);
    EXPECT_EQ(CaptureScore[WhiteQueen][BlackKing], 0);
}

TEST_F(Generation, PromotionPushesAreCapturesOnlyAndBishopsFollowTheSquare) {
    Position& p = prepare("4k3/1P6/8/8/8/8/6p1/4K3 b - - 0 1").p;
    MoveList captures = generate(GenCaptures, p);
    std::vector<int> kinds;
    for (int i = 0; i < captures.count; ++i) kinds.push_back(promotionPiece(captures.moveWords[i]));
    EXPECT_EQ(kinds, (std::vector<int>{BlackQueen, BlackRook, BlackKnight, BlackDarkBishop}));
    for (const std::string& t : texts(generate(GenQuiets, p))) EXPECT_NE(t.substr(0, 4), "g2g1");
    Position& q = prepare("4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1").p;
    MoveList white = generate(GenCaptures, q);
    ASSERT_EQ(white.count, 4);
    EXPECT_EQ(promotionPiece(white.moveWords[3]), WhiteDarkBishop);
}

TEST_F(Generation, TargetsLeaveOutUnwantedVictimsButKeepPushPromotions) {
    Position& p = prepare("4k3/P7/8/3pP3/8/8/8/4K3 w - d6 0 2").p;
    EXPECT_EQ(generate(GenCaptures, p).count, 5) << "four promotions and the en-passant capture";
    const Bitboard targets = ~(p.bitboards[BlackPawn] | SquareBit[p.epSquare]);
    const MoveList l = generate(GenCaptures, p, targets);
    EXPECT_EQ(l.count, 4);
    for (int i = 0; i < l.count; ++i) EXPECT_TRUE(isPromotion(l.moveWords[i]));
}

TEST_F(Generation, TheEnemyKingIsNeverCaptured) {
    Position& p = prepare("8/8/8/3k4/4P3/8/8/R3K3 w - - 0 1").p;
    for (const std::string& t : texts(generate(GenCaptures, p))) EXPECT_NE(t.substr(2, 2), "d5");
}

TEST_F(Generation, CastlingNeedsEmptyAndUnattackedSquaresAndTheRook) {
    auto castles = [](const char* fen) {
        std::vector<std::string> out;
        Position& p = prepare(fen).p;
        MoveList l = generate(GenQuiets, p);
        for (int i = 0; i < l.count; ++i)
            if (moveKind(l.moveWords[i]) == KindCastle) out.push_back(moveToText(l.moveWords[i]));
        std::sort(out.begin(), out.end());
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), (V{"e1c1", "e1g1"}));
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"), (V{"e8c8", "e8g8"}));
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1"), (V{"e1c1"}));
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1"), (V{"e1g1"}));
    EXPECT_EQ(castles("1r2k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), (V{"e1c1", "e1g1"}))
        << "b1 may be attacked";
    EXPECT_EQ(castles("2r1k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), (V{"e1g1"}));
    EXPECT_EQ(castles("r3k1r1/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), (V{"e1c1"}));
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/4K2R w KQkq - 0 1"), (V{"e1g1"})) << "rook missing";
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1"), V{});
}

TEST_F(Generation, DoubleCheckLeavesOnlyKingMovesInSquareOrder) {
    // Rook on the file and knight on d3: e2 lies on the rook's line, f2 is the knight's.
    Prepared& s = prepare("4r2k/8/8/8/8/3n4/8/4K3 w - - 0 1");
    ASSERT_TRUE(s.entry.inCheck);
    const MoveList l = generate(GenEvasions, s.p);
    EXPECT_EQ(texts(l), (std::vector<std::string>{"e1d1", "e1f1", "e1d2"}));
}

TEST_F(Generation, EvasionsBlockCaptureAndStepAsidePinsRespected) {
    // The rook on e8 checks along the file; e2 behind the king stays attacked.
    Prepared& s = prepare("k3r3/8/8/8/8/2N5/3B4/4K2R w K - 0 1");
    ASSERT_TRUE(s.entry.inCheck);
    std::vector<std::string> t = texts(generate(GenEvasions, s.p));
    std::sort(t.begin(), t.end());
    EXPECT_EQ(t, (std::vector<std::string>{"c3e2", "c3e4", "d2e3", "e1d1", "e1f1", "e1f2"}));

    // The knight on d2 is pinned by the bishop on b4 and cannot take the checking rook.
    Prepared& u = prepare("4k3/8/8/8/1b6/8/3N4/4Kr2 w - - 0 1");
    ASSERT_TRUE(u.entry.inCheck);
    t = texts(generate(GenEvasions, u.p));
    EXPECT_EQ(std::count(t.begin(), t.end(), "d2f1"), 0);
    EXPECT_EQ(std::count(t.begin(), t.end(), "e1f1"), 1);
    Prepared& v = prepare("4k3/8/8/8/8/8/3N4/4Kr2 w - - 0 1");
    t = texts(generate(GenEvasions, v.p));
    EXPECT_EQ(std::count(t.begin(), t.end(), "d2f1"), 1);
}

TEST_F(Generation, EvasionByEnPassantOnlyWhenItKeepsTheKingSafe) {
    Prepared& s = prepare("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1");
    ASSERT_TRUE(s.entry.inCheck);
    std::vector<std::string> t = texts(generate(GenEvasions, s.p));
    EXPECT_EQ(std::count(t.begin(), t.end(), "e4d3"), 1);
    // Taking en passant would open the g1 bishop's diagonal to the king.
    Prepared& u = prepare("8/8/8/2k5/3Pp3/8/8/4K1B1 b - d3 0 1");
    ASSERT_TRUE(u.entry.inCheck);
    t = texts(generate(GenEvasions, u.p));
    EXPECT_EQ(std::count(t.begin(), t.end(), "e4d3"), 0);
}

TEST_F(Generation, QuietChecksIncludeOpenLineRookMovesAndDiscoveries) {
    Position& p = prepare("4k3/8/8/8/8/8/8/R3K3 w - - 0 1").p;
    std::vector<std::string> t = texts(generate(GenQuietChecks, p));
    EXPECT_EQ(t, (std::vector<std::string>{"a1a8"}));

    // The bishop between its rook and the enemy king discovers check with every quiet move.
    Position& q = prepare("8/8/8/R2B3k/8/8/8/K7 w - - 0 1").p;
    t = texts(generate(GenQuietChecks, q));
    const MoveList bishopQuiets = [&] {
        MoveList all = generate(GenQuiets, q), out;
        clearList(out);
        for (int i = 0; i < all.count; ++i)
            if (moveFrom(all.moveWords[i]) == sq("d5")) pushMove(out, all.moveWords[i], 0);
        return out;
    }();
    std::vector<std::string> expected = texts(bishopQuiets);
    std::vector<std::string> fromBishop;
    for (const std::string& m : t)
        if (m.substr(0, 2) == "d5") fromBishop.push_back(m);
    std::sort(expected.begin(), expected.end());
    std::sort(fromBishop.begin(), fromBishop.end());
    EXPECT_EQ(fromBishop, expected);
    EXPECT_EQ(fromBishop.size(), 13u);
}

TEST_F(Generation, CapturesThenQuietsInOneListEndSortedByScore) {
    Position& p = prepare("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1").p;
    HistoryTable[WhiteQueen][sq("f5")] = 300;
    MoveList l;
    clearList(l);
    generateMoves(GenCaptures, p, l);
    generateMoves(GenQuiets, p, l);
    EXPECT_GE(l.count, 48);
    for (int i = 1; i < l.count; ++i) EXPECT_GE(l.scores[i - 1], l.scores[i]);
    EXPECT_EQ(std::string(moveToText(l.moveWords[0])), "f3f5");
}

TEST(MoveLists, GeneratorsStopAtTheListsCapacity) {
    static Position p;
    loadFen(p, "QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K w - - 0 1");
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
