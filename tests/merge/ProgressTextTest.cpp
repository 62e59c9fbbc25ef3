#include "merge/ProgressText.h"

#include <gtest/gtest.h>

using namespace fennick;

TEST(ProgressText, ThreeInputsShowThirdsTruncated) {
    EXPECT_EQ(ProgressPercentText(0, 0, 3), u"0%");
    EXPECT_EQ(ProgressPercentText(1, 0, 3), u"33%");
    EXPECT_EQ(ProgressPercentText(2, 0, 3), u"66%");
    EXPECT_EQ(ProgressPercentText(3, 0, 3), u"100%");
}

TEST(ProgressText, BeyondTheRangeWrapsButExactly100Stays) {
    EXPECT_EQ(ProgressPercent(4, 0, 3), 33);  // 133 wraps
    EXPECT_EQ(ProgressPercent(6, 0, 3), 0);   // 200 wraps to 0
    EXPECT_EQ(ProgressPercent(15, 10, 20), 50);
    EXPECT_EQ(ProgressPercent(5, 5, 5), 0);   // empty range: nothing to divide
}
