#include "editor/capcode_layout.h"

#include <gtest/gtest.h>

using namespace px316t;

TEST(CapcodeScrollRange, DesignSize)
{
    const CapcodeScrollRange all = capcodeScrollRange(16, 384, 3060);
    EXPECT_EQ(all.maximum, 3074);
    EXPECT_EQ(all.smallStep, 154);
    EXPECT_EQ(all.largeStep, 308);

    const CapcodeScrollRange longPairs = capcodeScrollRange(8, 384, 3060);
    EXPECT_EQ(longPairs.maximum, 2);
    EXPECT_EQ(longPairs.smallStep, 154);
    EXPECT_EQ(longPairs.largeStep, 308);

    EXPECT_EQ(capcodeScrollRange(15, 384, 3060).maximum, 2690);
}

TEST(CapcodeScrollRange, ScaledWindows)
{
    // Fractional viewport heights: the maximum is truncated, the steps rounded
    // half to even ((6144 - 3059.5) / 20 = 154.225; (6144 - 3074) / 20 = 153.5).
    EXPECT_EQ(capcodeScrollRange(16, 384, 3059.5).maximum, 3074);
    EXPECT_EQ(capcodeScrollRange(16, 384, 3074).smallStep, 154);
    EXPECT_EQ(capcodeScrollRange(16, 384, 3094).smallStep, 152);   // 152.5 -> 152
    EXPECT_EQ(capcodeScrollRange(16, 384, 3094).largeStep, 305);

    // Rows that fit the viewport never give a negative range or steps.
    const CapcodeScrollRange tiny = capcodeScrollRange(8, 300, 3000);
    EXPECT_EQ(tiny.maximum, 0);
    const CapcodeScrollRange tall = capcodeScrollRange(16, 384, 7000);
    EXPECT_EQ(tall.maximum, 0);
    EXPECT_GE(tall.smallStep, 1);
    EXPECT_GE(tall.largeStep, 1);
}

TEST(CapcodeRowTop, MovesByWholePitches)
{
    EXPECT_EQ(capcodeRowTop(1, 384, 70), 70);
    EXPECT_EQ(capcodeRowTop(2, 384, 70), 454);
    EXPECT_EQ(capcodeRowTop(16, 384, 70), 70 + 15 * 384);
}

TEST(CapcodeLayoutBits, PairLengthsDecideManualWrite)
{
    PagerTable t{};
    t[0x3D] = 0x10;   // manual write off
    EXPECT_TRUE(applyCapcodeLayoutBits(t, 8));
    EXPECT_EQ(t[0x3D], 0x80);

    t[0x3D] = 0x80 | 0x10 | 0x6F;
    EXPECT_TRUE(applyCapcodeLayoutBits(t, 16));
    EXPECT_EQ(t[0x3D], 0x6F);

    // A mix forces manual write off and keeps bit 7 (and every other bit).
    t[0x3D] = 0x80;
    EXPECT_FALSE(applyCapcodeLayoutBits(t, 15));
    EXPECT_EQ(t[0x3D], 0x90);
    t[0x3D] = 0x00;
    EXPECT_FALSE(applyCapcodeLayoutBits(t, 9));
    EXPECT_EQ(t[0x3D], 0x10);
}

TEST(CapcodeScrollToShow, TheLeastMoveThatShowsTheRowWithinTheRange)
{
    struct Case { int value; int maximum; int top; int bottom; int expected; };
    const Case cases[] = {
        {0, 3074, 374, 758, 0},          // inside already
        {0, 3074, 2678, 3062, 2},        // below: its bottom comes to the viewport's bottom
        {1000, 3074, 374, 758, 374},     // above: its top comes to the viewport's top
        {0, 3074, 5750, 6134, 3074},     // the last row, at the end of the range
        {500, 3074, -10, 374, 0},        // row 1 above the list's top
        {0, 0, 2678, 3062, 0},           // a list that does not scroll
        {0, 3074, 100, 4000, 100},       // taller than the viewport: its top
    };
    for (const Case& c : cases)
        EXPECT_EQ(capcodeScrollToShow(c.value, c.maximum, 3060, c.top, c.bottom), c.expected) << c.top;
}
