#include "base/StripMarkup.h"

#include <gtest/gtest.h>

TEST(StripMarkupTest, CutsAtTheFirstTagOnly)
{
    EXPECT_EQ(StripMarkup("198.18.0.1,1,2,3,4<br>"), "198.18.0.1,1,2,3,4");
    EXPECT_EQ(StripMarkup("<p>198.18.0.1"), "");
    EXPECT_EQ(StripMarkup("  plain text  "), "  plain text  ");
}
