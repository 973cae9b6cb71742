// Searches with the network on. In a checking build (TOLVO_CHECK_ACCUMULATORS, which the
// sanitizer build turns on) every evaluation compares the accumulator the search kept up with
// one built from scratch and aborts on a difference; here the searches that must pass it: null
// moves, quiescence, checks, promotions, castling, and a root searched after an abort.
#include "search/threads.h"
#include "search_support.h"

inline void PrintTo(SearchKind kind, std::ostream* out) {
    *out << (kind == SearchKind::Network ? "network" : "specified");
}

namespace {

uint64_t checkedEvaluations() {
    uint64_t n = 0;
    for (int i = 0; i < searchThreadCount(); ++i) n += searchThread(i).eval.network.checked;
    return n;
}

// Both searches: the network's own, whose null moves, extensions and re-searches differ, and
// the specified one, which a tool may run with the network.
class NetworkSearch : public ::testing::TestWithParam<SearchKind> {
   protected:
    void TearDown() override { ActiveSearch = SearchKind::Specified; }
};

TEST_P(NetworkSearch, EveryEvaluationSeesTheAccumulatorOfARebuild) {
#ifndef TOLVO_CHECK_ACCUMULATORS
    GTEST_SKIP() << "needs a build with TOLVO_CHECK_ACCUMULATORS (make sanitize)";
#endif
    ASSERT_TRUE(enableNetwork(true));
    ActiveSearch = GetParam();
    const uint64_t before = checkedEvaluations();
    for (const char* fen :
         {StartFen, "r3k2r/pb1nqppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2QPPP/R3K2R b KQkq - 0 10",
          "rnbqkb1r/pp1p1ppp/4pn2/2pP4/8/8/PPP1PPPP/RNBQKBNR w KQkq c6 0 4",
          "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1", "8/5pk1/6p1/R6p/P7/6P1/5PKP/1r6 w - - 0 1",
          "3qk3/8/8/8/8/5n2/8/4K2R w K - 0 1",
          // Chess960 castlings: the king onto its rook's square, a king that stays.
          "1r3rk1/pp3ppp/8/8/8/8/PP3PPP/1R3KR1 w GB - 0 1",
          "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9"}) {
        const SearchResult r = searchToDepth(fen, 6);
        EXPECT_NE(r.move, 0) << fen;
    }
    // A search that ends by a jump deep in the tree, then another from a different root on the
    // same thread: the new root's accumulator must not be the abandoned line's.
    prepareTestSearch(ModeNodes);
    Limits.nodes = 3000;
    SearchDriver(setUp("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"));
    EXPECT_NE(searchToDepth("8/pp3k2/2p2pp1/8/2PP4/1P3PP1/P5K1/8 w - - 0 1", 6).move, 0);
    // Helpers keep their own accumulators.
    setSearchThreads(2);
    EXPECT_NE(searchToDepth(StartFen, 6).move, 0);
    setSearchThreads(1);
    enableNetwork(false);
    EXPECT_GT(checkedEvaluations() - before, 20000u);
}

INSTANTIATE_TEST_SUITE_P(EitherSearch, NetworkSearch,
                         ::testing::Values(SearchKind::Specified, SearchKind::Network),
                         [](const ::testing::TestParamInfo<SearchKind>& info) {
                             return info.param == SearchKind::Network ? "Network" : "Specified";
                         });

}  // namespace
