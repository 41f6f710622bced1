#include "editor/flex_address.h"

#include <gtest/gtest.h>

using namespace px316t;

TEST(FlexAddress, FrameAndPhaseWorkedByHand)
{
    struct Case {
        std::uint64_t capcode;
        int frame;
        int phase;
    };
    // 1234567 div 16 = 77160, 77160 mod 128 = 104; 1234567 div 4 = 308641, mod 4 = 1.
    // 2047 div 16 = 127 (the last frame); 2048 div 16 = 128, mod 128 = 0.
    // 4291000000 div 16 = 268187500, mod 128 = 108; div 4 = 1072750000, mod 4 = 0.
    for (const Case& c : {Case{1234567, 104, 1}, Case{1, 0, 0}, Case{4, 0, 1}, Case{15, 0, 3}, Case{16, 1, 0},
                          Case{2047, 127, 3}, Case{2048, 0, 0}, Case{2031614, 127, 3},
                          Case{4291000000ULL, 108, 0}}) {
        const FlexPlace place = flexPlaceOf(c.capcode);
        EXPECT_EQ(place.frame, c.frame) << c.capcode;
        EXPECT_EQ(place.phase, c.phase) << c.capcode;
    }
}

TEST(FlexAddress, LabelFormAndSpecialAddresses)
{
    EXPECT_EQ(capcodeLabelForm(1234567, false), "A1234567");
    EXPECT_EQ(capcodeLabelForm(5, false), "A0000005");
    EXPECT_EQ(capcodeLabelForm(2101249, true), "0002101249");

    EXPECT_FALSE(flexSpecialAddressWarning(1933312));
    EXPECT_FALSE(flexSpecialAddressWarning(2031615));
    const struct {
        std::uint64_t capcode;
        const char* use;
    } special[] = {{1933313, "half of a long address"}, {1998848, "half of a long address"},
                   {1998849, "an address FLEX reserves"}, {2029568, "temporary group"},
                   {2029583, "temporary group"}, {2029584, "operator-messaging"}, {2031614, "reserves"}};
    for (const auto& s : special) {
        const auto warning = flexSpecialAddressWarning(s.capcode);
        ASSERT_TRUE(warning) << s.capcode;
        EXPECT_NE(warning->find(std::to_string(s.capcode)), std::string::npos) << *warning;
        EXPECT_NE(warning->find(s.use), std::string::npos) << *warning;
    }
}
