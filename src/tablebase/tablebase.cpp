#include "tablebase/tablebase.h"

#include "board/perft.h"
#include "platform/platform.h"
#include "tbprobe.h"

namespace {

// The position as the prober takes it: bitboards by colour and by piece type (the squares are
// numbered alike, a1 = 0), the en-passant square or 0, true for White to move.
struct ProberPosition {
    uint64_t white, black, kings, queens, rooks, bishops, knights, pawns;
    unsigned rule50, castling, ep;
    bool whiteToMove;
};

ProberPosition proberPosition(const Position& p) {
    const Bitboard* b = p.bitboards;
    return ProberPosition{
        b[0],
        b[1],
        b[WhiteKing] | b[BlackKing],
        b[WhiteQueen] | b[BlackQueen],
        b[WhiteRook] | b[BlackRook],
        b[WhiteLightBishop] | b[BlackLightBishop] | b[WhiteDarkBishop] | b[BlackDarkBishop],
        b[WhiteKnight] | b[BlackKnight],
        b[WhitePawn] | b[BlackPawn],
        p.rule50,
        p.castleRights,
        p.epSquare < 64 ? p.epSquare : 0u,
        p.sideToMove == White};
}

// Whether the tables can hold the position at all: few enough pieces and no castling right.
bool withinTables(const Position& p) {
    const int largest = tablebaseLargest();
    return largest > 0 && popcount(occupancy(p)) <= largest && p.castleRights == 0;
}

// The prober's promotion codes (1 queen .. 4 knight) from one of our move words, 0 for none.
unsigned proberPromotion(Move m) {
    if (!isPromotion(m)) return 0;
    switch (promotionPiece(m) & ~1) {
        case WhiteQueen:
            return 1;
        case WhiteRook:
            return 2;
        case WhiteKnight:
            return 4;
        default:
            return 3;  // either bishop code
    }
}

// Our legal move with the prober's squares and promotion, or 0.
Move legalMoveFor(const MoveList& legal, unsigned from, unsigned to, unsigned promotes) {
    for (int i = 0; i < legal.count; ++i) {
        const Move m = legal.moveWords[i];
        if (unsigned(moveFrom(m)) == from && unsigned(moveTo(m)) == to &&
            proberPromotion(m) == promotes)
            return m;
    }
    return 0;
}

// Whether a position has occurred twice since the last capture or pawn move: the prober ranks
// a win less surely then, since a third time would draw.
bool hasRepeated(const Position& p) {
    const int last = p.keyCount - 1;
    if (last < 0 || last >= KeyHistorySize) return false;
    const int oldest = last - int(p.rule50) < 0 ? 0 : last - int(p.rule50);
    for (int j = last; j >= oldest + 4; --j)
        for (int i = j - 4; i >= oldest; i -= 2)
            if (p.keyHistory[i] == p.keyHistory[j]) return true;
    return false;
}

int LoadedLargest;

}  // namespace

TableScan loadTablebases(const std::string& pathList) {
    TableScan scan = scanTableFolders(pathList);
    std::string proberPath;
    for (const std::string& folder : scan.folders) {
        if (!proberPath.empty()) proberPath += PathListSeparator;
        proberPath += folder;
    }
    // An empty path unloads the tables the prober holds; one without tables loads none.
    if (scan.tables == 0) proberPath.clear();
    tb_init(proberPath.c_str());
    // The prober's own count: a table it could not set up (none should, after the checks) is
    // not claimed as loaded.
    LoadedLargest = int(TB_LARGEST) < scan.largest ? int(TB_LARGEST) : scan.largest;
    return scan;
}

int tablebaseLargest() {
    return LoadedLargest;
}

bool probeWdl(const Position& p, Wdl& wdl) {
    if (!withinTables(p) || p.rule50 != 0) return false;
    const ProberPosition q = proberPosition(p);
    const unsigned result =
        tb_probe_wdl(q.white, q.black, q.kings, q.queens, q.rooks, q.bishops, q.knights, q.pawns,
                     q.rule50, q.castling, q.ep, q.whiteToMove);
    if (result == TB_RESULT_FAILED) return false;
    wdl = Wdl(int(result) - 2);
    return true;
}

bool probeDtz(const Position& p, Wdl& wdl, int& dtz) {
    if (!withinTables(p)) return false;
    const ProberPosition q = proberPosition(p);
    const unsigned result =
        tb_probe_root(q.white, q.black, q.kings, q.queens, q.rooks, q.bishops, q.knights, q.pawns,
                      q.rule50, q.castling, q.ep, q.whiteToMove, nullptr);
    if (result == TB_RESULT_FAILED) return false;
    // The prober's answers for a position without moves carry no move: the side to move is
    // mated (a loss, whatever the value field says) or stalemated.
    if (result == TB_RESULT_CHECKMATE || result == TB_RESULT_STALEMATE) {
        wdl = result == TB_RESULT_CHECKMATE ? Wdl::Loss : Wdl::Draw;
        dtz = 0;
        return true;
    }
    wdl = Wdl(int(TB_GET_WDL(result)) - 2);
    const int distance = int(TB_GET_DTZ(result));
    dtz = wdl == Wdl::Draw ? 0 : int(wdl) > 0 ? distance : -distance;
    return true;
}

bool rankRootMoves(Position& p, bool useRule50, RootRanking& ranking) {
    ranking = RootRanking{};
    clearList(ranking.ranked);
    clearList(ranking.best);
    if (!withinTables(p)) return false;
    // Large: the prober's record holds a line of play for every move.
    static TbRootMoves moves;
    const ProberPosition q = proberPosition(p);
    ranking.byDtz = tb_probe_root_dtz(q.white, q.black, q.kings, q.queens, q.rooks, q.bishops,
                                      q.knights, q.pawns, q.rule50, q.castling, q.ep, q.whiteToMove,
                                      hasRepeated(p), useRule50, &moves) != 0;
    if (!ranking.byDtz &&
        !tb_probe_root_wdl(q.white, q.black, q.kings, q.queens, q.rooks, q.bishops, q.knights,
                           q.pawns, q.rule50, q.castling, q.ep, q.whiteToMove, useRule50, &moves))
        return false;
    MoveList legal;
    generateLegalMoves(p, legal);
    if (moves.size != unsigned(legal.count)) return false;
    for (unsigned i = 0; i < moves.size; ++i) {
        const TbMove move = moves.moves[i].move;
        const Move m =
            legalMoveFor(legal, TB_MOVE_FROM(move), TB_MOVE_TO(move), TB_MOVE_PROMOTES(move));
        if (m == 0) return false;
        int rank = moves.moves[i].tbRank;
        // Without the rule a win is a win however long it takes.
        if (!useRule50 && rank > 0) rank = 1000;
        pushMove(ranking.ranked, m, rank);
    }
    if (ranking.ranked.count == 0) return false;
    ranking.bestRank = ranking.ranked.scores[0];
    for (int i = 1; i < ranking.ranked.count; ++i)
        if (ranking.ranked.scores[i] > ranking.bestRank)
            ranking.bestRank = ranking.ranked.scores[i];
    for (int i = 0; i < ranking.ranked.count; ++i)
        if (ranking.ranked.scores[i] == ranking.bestRank)
            pushMove(ranking.best, ranking.ranked.moveWords[i], ranking.bestRank);
    return true;
}
