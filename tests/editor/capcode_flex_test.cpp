#include "editor/capcode_flex.h"

#include "table/memory_map.h"

#include <gtest/gtest.h>

using namespace px316t;

namespace {

PagerDocument documentWith(const std::vector<std::pair<std::string, std::string>>& fields)
{
    PagerDocument document;
    map::write(document.table(), map::LastCapcodeSlot, 3);   // slots 0..3 usable
    for (const auto& [name, value] : fields)
        EXPECT_EQ(document.set(name, value).outcome, SetOutcome::Changed) << name << "=" << value;
    return document;
}

} // namespace

// 1000100 div 16 = 62506, mod 128 = 42; div 4 = 250025, mod 4 = 1.
// 2029570 div 16 = 126848, mod 128 = 0; div 4 = 507392, mod 4 = 0.
// 3000000000 div 16 = 187500000, mod 128 = 96; div 4 = 750000000, mod 4 = 0.
TEST(CapcodeFlex, EachEnabledUsableRowIsDescribedAndOnlyNewReservedAddressesWarn)
{
    const PagerDocument before = documentWith({{"capcode.3", "2029570"}});
    const PagerDocument after =
        documentWith({{"capcode.1", "1000100"}, {"capcode.1.enable", "on"}, {"capcode.2", "2029570"},
                      {"capcode.2.enable", "off"}, {"capcode.3", "2029570"}, {"capcode.3.enable", "on"}});
    struct Row {
        int k;
        std::optional<std::string> description;
        bool warns;
    } rows[] = {
        {0, "A1000100 frame 42 phase 1", false},
        {1, std::nullopt, true},                      // disabled, but a reserved address all the same
        {2, "A2029570 frame 0 phase 0", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.k);
        EXPECT_EQ(flexDescription(after, r.k), r.description);
        EXPECT_EQ(specialAddressWarning(after, r.k).has_value(), r.warns);
    }
    // Row 3 held 2029570 before: only row 2's entry is new, and the same
    // address is said once.
    const auto warnings = newSpecialAddressWarnings(before, after);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("2029570"), std::string::npos);
    EXPECT_TRUE(newSpecialAddressWarnings(after, after).empty());

    PagerDocument wide = documentWith({{"pair.1.length", "Long"}, {"capcode.1", "3000000000"},
                                       {"capcode.1.enable", "on"}});
    EXPECT_EQ(flexDescription(wide, 0), "3000000000 frame 96 phase 0");
}

TEST(CapcodeFlex, AFrameMaskThatIsNotTheCapcodesOwnIsSaid)
{
    const PagerDocument document = documentWith({{"capcode.1", "1000100"}, {"capcode.1.enable", "on"},
                                                 {"capcode.2.enable", "off"}, {"capcode.3.enable", "off"},
                                                 {"capcode.4.enable", "off"}});
    const PagerTable good = document.image();
    EXPECT_FALSE(frameMaskMismatch(good));
    struct Case {
        int address;
        std::uint8_t value;
    } damaged[] = {{map::FrameMaskLow, 0x01}, {map::FrameMaskHigh, 0x80},
                   {map::FrameMaskLow + 7 * map::FrameRecordSize, 0xFF}};
    for (const Case& c : damaged) {
        PagerTable image = good;
        image[c.address] = c.value;
        SCOPED_TRACE(c.address);
        // Capcode 1000100 is in frame 42, bit 42 mod 16 = 10 of the mask.
        const auto said = frameMaskMismatch(image);
        ASSERT_TRUE(said);
        EXPECT_NE(said->find("(0400)"), std::string::npos) << *said;
    }
}
