#include "production/capcode_sequence.h"

#include "editor/capcode_codec.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

TEST(LocalCapcodeSequence, StopsWhereTheWindowStopsRaising)
{
    // A short capcode is never raised into the reserved gap.
    LocalCapcodeSequence shortRun(ShortCapcodeLimit - 2, lastCapcodeOfRun(ShortCapcodeLimit - 2, true));
    for (std::uint64_t expected : {ShortCapcodeLimit - 2, ShortCapcodeLimit - 1}) {
        auto r = shortRun.reserveNext();
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value().capcode, expected);
        ASSERT_TRUE(shortRun.markUsed(r.value()).ok());
    }
    auto refused = shortRun.reserveNext();
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.message(), "Capcode 1 > 2031615 so can not be increase!");
    EXPECT_FALSE(shortRun.peekNext().value());

    // A long pair goes up to its limit inclusive.
    LocalCapcodeSequence longRun(LongCapcodeLimit, lastCapcodeOfRun(LongCapcodeLimit, true));
    auto last = longRun.reserveNext();
    ASSERT_TRUE(last.ok());
    ASSERT_TRUE(longRun.markUsed(last.value()).ok());
    auto beyond = longRun.reserveNext();
    ASSERT_FALSE(beyond.ok());
    EXPECT_EQ(beyond.message(), "Capcode 1 > 4291000000 so can not be increase!");

    // A long number in a short field is written once and not raised.
    EXPECT_EQ(lastCapcodeOfRun(3000000, false), 3000000u);
}

} // namespace
} // namespace px316t
