#include "editor/frame_mask.h"

#include "table/builtin_tables.h"

#include <gtest/gtest.h>

#include <limits>

using namespace px316t;

TEST(FrameOfCapcode, WorkedValues)
{
    EXPECT_EQ(frameOfCapcode(1234567), 8);
    EXPECT_EQ(frameOfCapcode(16), 1);
    EXPECT_EQ(frameOfCapcode(240), 15);
    EXPECT_EQ(frameOfCapcode(15), 0);
    EXPECT_EQ(frameOfCapcode(256), 0);
    EXPECT_EQ(frameOfCapcode(4291000000.0), (4291000000 / 16) % 16);
    EXPECT_EQ(frameOfCapcode(2101249), (2101249 / 16) % 16);
}

TEST(FrameOfCapcode, AlwaysAFrameOfTheMask)
{
    // Numbers a damaged image can make the fields show.
    for (double x : {-1.0, -16.0, -1234567.0, -4291000000.0, 1e300, -1e300,
                     std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        const int f = frameOfCapcode(x);
        EXPECT_GE(f, 0) << x;
        EXPECT_LE(f, 15) << x;
    }
    EXPECT_EQ(frameOfCapcode(-16), 15);
}

TEST(FrameMask, WritesAllEightRecordsAndNothingElse)
{
    PagerTable t = makeDefaultPagerTable();
    const PagerTable before = t;
    writeFrameMask(t, 0x8002);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(t[0x92 + 4 * j], 0x80) << j;
        EXPECT_EQ(t[0x93 + 4 * j], 0x02) << j;
        EXPECT_EQ(t[0x90 + 4 * j], before[0x90 + 4 * j]) << "identifier " << j;
        EXPECT_EQ(t[0x91 + 4 * j], before[0x91 + 4 * j]) << j;
    }
    for (int i = 0; i < PagerTableSize; ++i) {
        if (i < 0x90 || i > 0xAF) {
            EXPECT_EQ(t[i], before[i]) << i;
        }
    }
    EXPECT_EQ(readFrameMask(t), 0x8002);
    EXPECT_EQ(t[0xAE], 0x80);
    EXPECT_EQ(t[0xAF], 0x02);
}

TEST(FrameMask, DefaultImage)
{
    const PagerTable t = makeDefaultPagerTable();
    EXPECT_EQ(readFrameMask(t), 0x0100) << "capcode 1 = 1234567 in frame 8";
    EXPECT_EQ(lastCapcode(t), 15);
}

TEST(FrameMask, LastCapcodeIsTheHighNibbleOf0x3E)
{
    PagerTable t{};
    t[0x3E] = 0x72;
    EXPECT_EQ(lastCapcode(t), 7);
    t[0x3E] = 0x0F;
    EXPECT_EQ(lastCapcode(t), 0);
}
