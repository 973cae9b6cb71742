// The search's signature: the node total of the bench at a small fixed depth. Any change of
// search behaviour (move order, pruning, evaluation, the table) changes it; the README records
// the same number. A change meant to alter the search updates both.
#include "support/engine_pipe.h"

namespace {

TEST(Bench, NodeTotalAtDepthSixIsTheRecordedSignature) {
    Pipe bench("'" TOLVO_BUILD_DIR "/tolvo-bench' --depth 6");
    ASSERT_TRUE(bench.started());
    EXPECT_EQ(bench.until("Nodes searched:", nullptr, 60000).value_or("no total"),
              "Nodes searched: 613606");
}

}  // namespace
