#include "table/pager_table.h"

#include <gtest/gtest.h>

using namespace px316t;

namespace {
PagerTable tableWith(int index, std::uint8_t value)
{
    PagerTable t{};
    t.fill(0xA5);
    t[index] = value;
    return t;
}
} // namespace

TEST(BitFields, PutBitsChangesOnlyItsField)
{
    auto t = tableWith(0x39, 0x60);
    PutBits(t, 0x39, 0, 3, 2);
    EXPECT_EQ(t[0x39], 0x63);
    EXPECT_EQ(GetBits(t, 0x39, 0, 2), 3);
    EXPECT_EQ(GetBits(t, 0x39, 6, 1), 1);

    t = tableWith(0x3D, 0x2A);
    PutBits(t, 0x3D, 4, 0, 1);
    EXPECT_EQ(t[0x3D], 0x2A);
    PutBits(t, 0x3D, 4, 1, 1);
    EXPECT_EQ(t[0x3D], 0x3A);
}

TEST(BitFields, NibbleFieldLeavesTheOtherNibble)
{
    auto t = tableWith(0x3F, 0x5C);
    EXPECT_EQ(GetBits(t, 0x3F, 0, 4), 0x0C);
    for (std::uint8_t v = 0; v < 16; ++v) {
        PutBits(t, 0x3F, 0, v, 4);
        EXPECT_EQ(t[0x3F], 0x50 | v);
    }
}

TEST(BitFields, WholeByteField)
{
    auto t = tableWith(0x369, 0xC3);
    EXPECT_EQ(GetBits(t, 0x369, 0, 8), 0xC3);
    PutBits(t, 0x369, 0, 0x5A, 8);
    EXPECT_EQ(t[0x369], 0x5A);
}

TEST(BitFields, ValueWiderThanItsFieldIsCutToTheField)
{
    auto t = tableWith(0x36, 0x00);
    PutBits(t, 0x36, 2, 0xFF, 2);      // only bits 2..3 may change
    EXPECT_EQ(t[0x36], 0x0C);
    t[0x36] = 0xFF;
    PutBits(t, 0x36, 6, 0x04, 1);      // 0b100 does not fit one bit: the bit gets 0
    EXPECT_EQ(t[0x36], 0xBF);
    PutBits(t, 0x36, 6, 0x0F, 4);      // field reaches past bit 7: cut at bit 7
    EXPECT_EQ(t[0x36], 0xFF);
    EXPECT_EQ(t[0x35], 0xA5);
    EXPECT_EQ(t[0x37], 0xA5);
}

TEST(BitFields, IndexOutsideTheTableChangesNothing)
{
    PagerTable t{};
    t.fill(0x11);
    const PagerTable before = t;
    PutBits(t, -1, 0, 1, 1);
    PutBits(t, PagerTableSize, 0, 0xFF, 8);
    PutBits(t, 0x7FFF, 0, 0xFF, 8);
    PutBits(t, 0x10, 8, 0xFF, 8);      // first bit past the byte
    EXPECT_EQ(t, before);
    EXPECT_EQ(GetBits(t, -1, 0, 8), 0);
    EXPECT_EQ(GetBits(t, PagerTableSize, 0, 8), 0);
    EXPECT_EQ(GetBits(t, 0x10, 8, 1), 0);
    EXPECT_EQ(GetBits(t, 0x10, 0, 0), 0);
}

TEST(BitFields, BigEndianWordsStayInsideTheTable)
{
    PagerTable t{};
    writeBigEndian32(t, 0xF4, 9310125);
    EXPECT_EQ(t[0xF4], 0x00);
    EXPECT_EQ(t[0xF5], 0x8E);
    EXPECT_EQ(t[0xF6], 0x0F);
    EXPECT_EQ(t[0xF7], 0xAD);
    EXPECT_EQ(readBigEndian32(t, 0xF4), 9310125u);
    writeBigEndian32(t, PagerTableLast - 1, 0xAABBCCDD);   // last two bytes only
    EXPECT_EQ(t[PagerTableLast - 1], 0xAA);
    EXPECT_EQ(t[PagerTableLast], 0xBB);
}
