// The platform's clock: monotonic milliseconds that advance with real time.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(PlatformClock, NeverGoesBackwardsAndFollowsASleep) {
    uint64_t start = tickCountMs();
    uint64_t last = start;
    for (int i = 0; i < 100000; ++i) {
        uint64_t now = tickCountMs();
        ASSERT_GE(now, last);
        last = now;
    }
    uint64_t before = tickCountMs();
    sleepMs(30);
    uint64_t after = tickCountMs();
    EXPECT_GE(after - before, 29u);
    EXPECT_LT(after - before, 2000u);
}

}  // namespace
