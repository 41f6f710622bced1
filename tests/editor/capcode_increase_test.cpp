// The production increase of the first capcode, on the image alone.
#include "editor/capcode_increase.h"

#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

PagerTable allSlots()
{
    PagerTable t{};
    t[0x3E] = 0xF0;
    return t;
}

TEST(ShownCapcodeText, FollowsTheRowsForm)
{
    PagerTable t = allSlots();
    storeCapcode(t, 0, 1234, false);
    EXPECT_EQ(shownCapcodeText(t, 0, false), "0001234");
    EXPECT_EQ(shownCapcodeText(t, 0, true), "0000001234");   // short word under a "Long" selector
    storeCapcode(t, 2, 3000000000.0, true);
    EXPECT_EQ(shownCapcodeText(t, 2, false), "3000000000");   // the long-word flag decides
    storeCapcodeWord(t, 4, 100, false);                       // below the 32768 offset
    EXPECT_EQ(shownCapcodeText(t, 4, false), "-0032668");
}

TEST(IncreaseCapcode, RaisesShortAndLongAndKeepsTheForm)
{
    PagerTable t = allSlots();
    storeCapcode(t, 0, 1234, false);
    auto r = increaseCapcode(t, 0, shownCapcodeText(t, 0, false), false);
    EXPECT_TRUE(r.raised);
    EXPECT_EQ(r.value, 1235u);
    EXPECT_EQ(shownCapcodeText(t, 0, false), "0001235");

    storeCapcode(t, 0, 3000000000.0, true);
    r = increaseCapcode(t, 0, shownCapcodeText(t, 0, true), true);
    EXPECT_TRUE(r.raised);
    EXPECT_EQ(shownCapcodeText(t, 0, true), "3000000001");
    EXPECT_TRUE(hasLongWordFlag(t, 1));
}

TEST(IncreaseCapcode, RefusalsChangeNothing)
{
    PagerTable t = allSlots();
    struct Case {
        std::string text;
        bool longPair;
        std::uint64_t limit;
    } cases[] = {
        {"2031615", false, 2031615}, {"2031614", false, 2031615},   // the limit; a step into the gap
        {"4291000000", true, 4291000000}, {"-0001234", false, 2031615}, {"12a", false, 2031615},
        {"", true, 4291000000},
    };
    for (const Case& c : cases) {
        const PagerTable before = t;
        const auto r = increaseCapcode(t, 0, c.text, c.longPair);
        EXPECT_FALSE(r.raised) << c.text;
        EXPECT_EQ(r.value, c.limit) << c.text;
        EXPECT_EQ(t, before) << c.text;
    }
}

TEST(IncreaseCapcode, FrameMaskFollowsTheNewCapcode)
{
    PagerTable t = allSlots();
    storeCapcode(t, 0, 15, false);      // frame 0
    setCapcodeEnabled(t, 0, true);
    storeCapcode(t, 1, 40, false);      // frame 2, but not enabled
    writeFrameMask(t, 1);
    ASSERT_TRUE(increaseCapcode(t, 0, "0000015", false).raised);
    EXPECT_EQ(readFrameMask(t), 1u << 1);   // 16 falls in frame 1

    // A long pair's hidden second slot adds no frame; slots past the last
    // supported one lose their enable bit.
    t[0x3E] = 0x20;   // slots 0..2
    setCapcodeEnabled(t, 1, true);
    setCapcodeEnabled(t, 5, true);
    refreshFrameMask(t, {true});
    EXPECT_EQ(readFrameMask(t), 1u << 1);
    EXPECT_FALSE(capcodeEnabled(t, 5));
}

} // namespace
} // namespace px316t
