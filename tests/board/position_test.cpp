#include "board/position.h"

#include <gtest/gtest.h>

#include <set>

#include "board/fen.h"
#include "board/movetext.h"
#include "board/squares.h"

namespace {

// Plays a move given as text; fails the test when the text matches no move.
void play(Position& p, const char* text, UndoInfo& undo) {
    const Move m = textToMove(p, text);
    ASSERT_NE(m, 0) << text;
    makeMove(p, undo, m);
}
void play(Position& p, const char* text) {
    UndoInfo undo;
    play(p, text, undo);
}

TEST(Keys, AllDrawnKeysAreDistinctAndTheUnusedEntriesStayZero) {
    std::set<uint64_t> keys;
    size_t drawn = 0;
    auto add = [&](uint64_t k) {
        keys.insert(k);
        ++drawn;
    };
    for (int code = 2; code < 16; ++code)
        for (int s = 0; s < 64; ++s) add(PieceKey[code][s]);
    add(EpKey[64]);
    for (int s = 16; s < 24; ++s) add(EpKey[s]);
    for (int s = 40; s < 48; ++s) add(EpKey[s]);
    for (uint64_t k : CastleKey) add(k);
    add(SideKey[White]);
    add(SideKey[Black]);
    for (int code = 2; code < 16; ++code)
        for (int n = 0; n <= 10; ++n) add(MaterialKey[code][n]);
    EXPECT_EQ(drawn, 1085u);
    EXPECT_EQ(keys.size(), drawn);
    EXPECT_EQ(keys.count(0), 0u);
    EXPECT_EQ(EpKey[0], 0u);
    EXPECT_EQ(EpKey[28], 0u);
    EXPECT_EQ(PieceKey[0][10], 0u);
    EXPECT_EQ(CastleMoveKey[0], PieceKey[WhiteRook][sq("h1")] ^ PieceKey[WhiteRook][sq("f1")] ^
                                    PieceKey[WhiteKing][sq("g1")] ^ PieceKey[WhiteKing][sq("e1")]);
}

TEST(MakeMove, DoublePushSetsTheEnPassantSquareAndTheNextMoveClearsIt) {
    static Position p;
    loadFen(p, StartFen);
    play(p, "e2e4");
    EXPECT_EQ(p.epSquare, uint32_t(sq("e3")));
    EXPECT_EQ(p.rule50, 0);
    EXPECT_EQ(p.sideToMove, uint32_t(Black));
    play(p, "g8f6");
    EXPECT_EQ(p.epSquare, uint32_t(NoSquare));
    EXPECT_EQ(p.rule50, 1);
}

TEST(MakeMove, KingAndRookSquaresRemoveCastlingRights) {
    static Position p;
    loadFen(p, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const Move kingMove = textToMove(p, "e1f1");
    UndoInfo undo;
    makeMove(p, undo, kingMove);
    EXPECT_EQ(p.castleRights, 12);
    unmakeMove(p, undo, kingMove);
    EXPECT_EQ(p.castleRights, 15);
    play(p, "h1h8");
    EXPECT_EQ(p.castleRights, 2 | 8) << "the capture on h8 removes Black's king-side right";
    play(p, "a8a1");
    EXPECT_EQ(p.castleRights, 0);
}

TEST(MakeMove, CastlingMovesKingAndRookAndKeepsPawnAndMaterialKeys) {
    static Position p;
    loadFen(p, "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 3 9");
    const uint64_t pawnKey = p.pawnKey, materialKey = p.materialKey;
    const Move castle = textToMove(p, "e1g1");
    EXPECT_EQ(castle, 0x1184);
    UndoInfo undo;
    makeMove(p, undo, castle);
    EXPECT_EQ(p.board[sq("g1")], WhiteKing);
    EXPECT_EQ(p.board[sq("f1")], WhiteRook);
    EXPECT_EQ(p.board[sq("e1")], Empty);
    EXPECT_EQ(p.board[sq("h1")], Empty);
    EXPECT_EQ(p.kingSquare[White], sq("g1"));
    EXPECT_EQ(p.castleRights, 12);
    EXPECT_EQ(p.rule50, 4);
    EXPECT_EQ(p.pawnKey, pawnKey);
    EXPECT_EQ(p.materialKey, materialKey);
    play(p, "e8c8");
    EXPECT_EQ(p.board[sq("c8")], BlackKing);
    EXPECT_EQ(p.board[sq("d8")], BlackRook);
    EXPECT_EQ(p.board[sq("a8")], Empty);
    EXPECT_EQ(p.castleRights, 0);
}

TEST(MakeMove, EnPassantRemovesThePawnBehindAndChangesThreePawnKeys) {
    static Position p;
    loadFen(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2");
    ASSERT_EQ(p.epSquare, uint32_t(sq("d6")));
    const uint64_t pawnKey = p.pawnKey, materialKey = p.materialKey;
    const Move m = textToMove(p, "e5d6");
    EXPECT_EQ(moveKind(m), KindEnPassant);
    UndoInfo undo;
    makeMove(p, undo, m);
    EXPECT_EQ(p.board[sq("d5")], Empty);
    EXPECT_EQ(p.board[sq("d6")], WhitePawn);
    EXPECT_EQ(p.pawnKey, pawnKey ^ PieceKey[WhitePawn][sq("e5")] ^ PieceKey[WhitePawn][sq("d6")] ^
                             PieceKey[BlackPawn][sq("d5")]);
    EXPECT_EQ(p.materialKey, materialKey ^ MaterialKey[BlackPawn][1] ^ MaterialKey[BlackPawn][0]);
    unmakeMove(p, undo, m);
    EXPECT_EQ(p.board[sq("d5")], BlackPawn);
    EXPECT_EQ(p.pawnKey, pawnKey);
}

TEST(MakeMove, BishopPromotionTakesTheCodeOfItsSquareColour) {
    static Position p;
    loadFen(p, "4k3/P6P/8/8/8/8/8/4K3 w - - 0 1");
    const uint64_t materialKey = p.materialKey;
    const Move light = textToMove(p, "a7a8b"), dark = textToMove(p, "h7h8b");
    EXPECT_EQ(promotionPiece(light), WhiteLightBishop);
    EXPECT_EQ(promotionPiece(dark), WhiteDarkBishop);
    UndoInfo undo;
    makeMove(p, undo, light);
    EXPECT_EQ(p.board[sq("a8")], WhiteLightBishop);
    EXPECT_EQ(p.materialKey, materialKey ^ MaterialKey[WhitePawn][2] ^ MaterialKey[WhitePawn][1] ^
                                 MaterialKey[WhiteLightBishop][0] ^
                                 MaterialKey[WhiteLightBishop][1]);
}

TEST(MakeMove, NullMoveClearsEnPassantAndRule50AndIsTakenBackExactly) {
    static Position p, before;
    loadFen(p, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 7 2");
    before = p;
    UndoInfo undo;
    makeNullMove(p, undo);
    EXPECT_EQ(p.epSquare, uint32_t(NoSquare));
    EXPECT_EQ(p.rule50, 0);
    EXPECT_EQ(p.sideToMove, uint32_t(Black));
    EXPECT_EQ(p.keyCount, 2);
    EXPECT_EQ(p.key,
              before.key ^ SideKey[White] ^ SideKey[Black] ^ EpKey[sq("d6")] ^ EpKey[NoSquare]);
    EXPECT_EQ(p.keyHistory[1], p.key);
    unmakeNullMove(p, undo);
    EXPECT_EQ(p.key, before.key);
    EXPECT_EQ(p.epSquare, before.epSquare);
    EXPECT_EQ(p.rule50, before.rule50);
    EXPECT_EQ(p.sideToMove, before.sideToMove);
    EXPECT_EQ(p.keyCount, 1);
}

TEST(KeyHistory, AppendsEveryMoveInOrder) {
    static Position p;
    loadFen(p, StartFen);
    const uint64_t start = p.key;
    play(p, "e2e4");
    const uint64_t afterE4 = p.key;
    play(p, "e7e5");
    ASSERT_EQ(p.keyCount, 3);
    EXPECT_EQ(p.keyHistory[0], start);
    EXPECT_EQ(p.keyHistory[1], afterE4);
    EXPECT_EQ(p.keyHistory[2], p.key);
}

TEST(KeyHistory, AFullHistoryKeepsItsNewestKeysAndNeverOverflows) {
    static Position p;
    loadFen(p, StartFen);
    const char* const shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    int played = 0;
    for (; played < 3 * KeyHistorySize; ++played) {
        play(p, shuffle[played % 4]);
        ASSERT_LE(p.keyCount, KeyHistorySize);
        ASSERT_EQ(p.keyHistory[p.keyCount - 1], p.key);
        // The same position four half-moves back is still there to be found.
        if (played >= 4) {
            ASSERT_EQ(p.keyHistory[p.keyCount - 5], p.key);
        }
    }
    while (p.keyCount < KeyHistorySize) play(p, shuffle[played++ % 4]);
    const uint64_t key = p.key;
    const Move m = textToMove(p, shuffle[played % 4]);
    UndoInfo undo;
    makeMove(p, undo, m);
    EXPECT_LT(p.keyCount, KeyHistorySize);
    unmakeMove(p, undo, m);
    EXPECT_EQ(p.key, key);
    EXPECT_EQ(p.keyHistory[p.keyCount - 1], key);
}

}  // namespace
