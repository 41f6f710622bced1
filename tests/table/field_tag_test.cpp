#include "table/field_tag.h"

#include <gtest/gtest.h>

using namespace px316t;

TEST(FieldTag, BoundTag)
{
    const auto tag = parseFieldTag("&H3D,4,1,chkN");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->byteIndex, 0x3D);
    EXPECT_EQ(tag->firstBit, 4);
    EXPECT_EQ(tag->width, 1);
    EXPECT_EQ(tag->kind, "chkN");

    const auto combo = parseFieldTag("&H3C,6,2,cbo");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->byteIndex, 0x3C);
    EXPECT_EQ(combo->firstBit, 6);
    EXPECT_EQ(combo->width, 2);
    EXPECT_EQ(combo->kind, "cbo");
}

TEST(FieldTag, GeometrySuffixIsIgnored)
{
    const std::string tagged = "&H3D,4,1,chkN,#132#120#1836#204#9#";
    EXPECT_EQ(splitTag(tagged).size(), 5u);
    const auto tag = parseFieldTag(tagged);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->byteIndex, 0x3D);
    EXPECT_EQ(tag->firstBit, 4);
    EXPECT_EQ(tag->width, 1);
    EXPECT_EQ(tag->kind, "chkN");

    // A control without a field tag, once its geometry is appended.
    const std::string unbound = ",#132#120#1836#204#9#";
    EXPECT_EQ(splitTag(unbound), (std::vector<std::string>{"", "#132#120#1836#204#9#"}));
    EXPECT_FALSE(parseFieldTag(unbound));
}

TEST(FieldTag, TooFewFieldsOrNoNumbersIsUnbound)
{
    EXPECT_FALSE(parseFieldTag(""));
    EXPECT_FALSE(parseFieldTag("&H3D"));
    EXPECT_FALSE(parseFieldTag("&H3D,4,1"));
    EXPECT_FALSE(parseFieldTag("3D,4,1,chk"));        // no "&H"
    EXPECT_FALSE(parseFieldTag("&H,4,1,chk"));
    EXPECT_FALSE(parseFieldTag("&HXY,4,1,chk"));
    EXPECT_FALSE(parseFieldTag("&H-3,4,1,chk"));
    EXPECT_FALSE(parseFieldTag("&H12345,4,1,chk"));   // wider than 16 bits
    EXPECT_FALSE(parseFieldTag("&H3D,x,1,chk"));
    EXPECT_FALSE(parseFieldTag("&H3D,4,,chk"));
    EXPECT_FALSE(parseFieldTag("&H3D,-1,1,chk"));
    EXPECT_FALSE(parseFieldTag("&H3D,4,256,chk"));
    EXPECT_FALSE(parseFieldTag("&H3D,4.5,1,chk"));
}

TEST(FieldTag, KindIsKeptAsWritten)
{
    // Four fields bind even with an empty or unknown kind; the caller compares it.
    const auto empty = parseFieldTag("&H36,0,1,");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->kind, "");
    const auto upper = parseFieldTag("&H36,0,1,CHK");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->kind, "CHK");
}

TEST(FieldTag, IndexIsA16BitSignedNumber)
{
    EXPECT_EQ(parseFieldTag("&H38F,0,8,chk")->byteIndex, 0x38F);
    EXPECT_EQ(parseFieldTag("&h3d,4,1,chk")->byteIndex, 0x3D);
    EXPECT_EQ(parseFieldTag("&HFFFF,0,1,chk")->byteIndex, -1);
    EXPECT_EQ(parseFieldTag(" &H3D , 4 , 1 ,chk")->firstBit, 4);
}

TEST(SplitTag, KeepsEmptyFields)
{
    EXPECT_EQ(splitTag("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(splitTag(""), (std::vector<std::string>{""}));
    EXPECT_EQ(splitTag(",,,"), (std::vector<std::string>{"", "", "", ""}));
}
