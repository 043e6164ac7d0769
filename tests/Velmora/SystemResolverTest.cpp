// Send tags come from batches of secure random values: every draw, across batch
// boundaries, must stay in range and the draws must not repeat a batch.

#include "Velmora/SystemResolver.h"

#include <gtest/gtest.h>

#include <set>

TEST(SendTag, DrawsAcrossBatchesStayInRangeAndVary) {
    std::set<long> seen;
    for (int i = 0; i < 1000; ++i) {
        const long tag = randomSendTag();
        ASSERT_GE(tag, 100000);
        ASSERT_LE(tag, 999999);
        seen.insert(tag);
    }
    // 1000 uniform draws from 900000 values all but never collide.
    EXPECT_GT(seen.size(), 990u);
}
