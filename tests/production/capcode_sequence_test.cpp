#include "production/capcode_sequence.h"

#include "editor/capcode_codec.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <thread>
#include <vector>

namespace px316t {
namespace {

TEST(LocalCapcodeSequence, RaisesByOneOnlyAfterAVerifiedWrite)
{
    LocalCapcodeSequence sequence(1000, lastCapcodeOfRun(1000, false));
    auto a = sequence.reserveNext();
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.value().capcode, 1000u);
    ASSERT_TRUE(sequence.giveBack(a.value()).ok());   // the write failed
    EXPECT_EQ(sequence.peekNext(), 1000u);
    auto again = sequence.reserveNext();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value().capcode, 1000u);
    ASSERT_TRUE(sequence.markUsed(again.value()).ok());
    EXPECT_EQ(sequence.peekNext(), 1001u);
    // A reservation can be finished once only.
    EXPECT_FALSE(sequence.markUsed(again.value()).ok());
    EXPECT_FALSE(sequence.giveBack(again.value()).ok());
}

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
    EXPECT_FALSE(shortRun.peekNext());

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

TEST(LocalCapcodeSequence, BoardsOnThreadsWriteEveryCapcodeOnceWithoutGaps)
{
    constexpr std::uint64_t first = 500;
    constexpr std::uint64_t count = 400;
    LocalCapcodeSequence sequence(first, first + count - 1);
    std::mutex mutex;
    std::map<std::uint64_t, int> written;
    std::vector<std::thread> boards;
    for (int board = 0; board < 4; ++board) {
        boards.emplace_back([&, board] {
            std::mt19937 random(board);
            for (;;) {
                auto r = sequence.reserveNext();
                if (!r.ok())
                    return;
                if (random() % 10 == 0) {   // a failed write
                    ASSERT_TRUE(sequence.giveBack(r.value()).ok());
                    continue;
                }
                {
                    const std::lock_guard lock(mutex);
                    ++written[r.value().capcode];
                }
                ASSERT_TRUE(sequence.markUsed(r.value()).ok());
            }
        });
    }
    for (auto& b : boards)
        b.join();
    ASSERT_EQ(written.size(), count);
    EXPECT_EQ(written.begin()->first, first);
    EXPECT_EQ(written.rbegin()->first, first + count - 1);
    for (const auto& [capcode, times] : written)
        EXPECT_EQ(times, 1) << capcode;
}

} // namespace
} // namespace px316t
