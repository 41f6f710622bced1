#include "editor/capcode_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace px316t;

namespace {

// A table full of set bits, so that every bit the encoder must clear shows.
PagerTable filledTable()
{
    PagerTable t{};
    t.fill(0xFF);
    return t;
}

std::array<std::uint8_t, 3> slotBytes(const PagerTable& t, int slot)
{
    return {t[0xB1 + 4 * slot], t[0xB2 + 4 * slot], t[0xB3 + 4 * slot]};
}

using Bytes3 = std::array<std::uint8_t, 3>;

// Encodes a long capcode into pair 0 and decodes it from the stored bytes.
std::optional<std::uint64_t> storeAndDecodeLong(double v)
{
    PagerTable t{};
    if (storeCapcode(t, 0, v, true) != CapcodeStoreResult::Long)
        return std::nullopt;
    if (!hasLongWordFlag(t, 0) || !hasLongWordFlag(t, 1))
        return std::nullopt;
    return decodeLongCapcode(readCapcodeWord(t, 0), readCapcodeWord(t, 1));
}

} // namespace

TEST(CapcodeEncoding, WorkedValues)
{
    PagerTable t = filledTable();
    EXPECT_EQ(storeCapcode(t, 3, 1234567, false), CapcodeStoreResult::Short);
    EXPECT_EQ(slotBytes(t, 3), (Bytes3{0x13, 0x56, 0x87}));
    EXPECT_EQ(t[0xB0 + 12], 0xFF) << "identifier byte is never written";
    EXPECT_FALSE(hasLongWordFlag(t, 3));

    t = filledTable();
    EXPECT_EQ(storeCapcode(t, 2, 4291000000.0, true), CapcodeStoreResult::Long);
    EXPECT_EQ(slotBytes(t, 2), (Bytes3{0x5F, 0xE6, 0xC0}));
    EXPECT_EQ(slotBytes(t, 3), (Bytes3{0x5E, 0x7F, 0x47}));

    t = filledTable();
    EXPECT_EQ(storeCapcode(t, 0, 3223326721.0, true), CapcodeStoreResult::Long);
    EXPECT_EQ(slotBytes(t, 0), (Bytes3{0x5F, 0x80, 0x01}));
    EXPECT_EQ(slotBytes(t, 1), (Bytes3{0x5E, 0x00, 0x01}));

    t = filledTable();
    EXPECT_EQ(storeCapcode(t, 4, 2101249, true), CapcodeStoreResult::Long);
    EXPECT_EQ(slotBytes(t, 4), (Bytes3{0x40, 0x00, 0x01}));
    EXPECT_EQ(slotBytes(t, 5), (Bytes3{0x5F, 0xFF, 0xFE}));
    EXPECT_EQ(t[0xB0 + 16], 0xFF);
    EXPECT_EQ(t[0xB0 + 20], 0xFF);
}

TEST(CapcodeEncoding, FractionsAreRoundedHalfToEven)
{
    PagerTable t{};
    storeCapcode(t, 0, 123.6, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 124u);
    storeCapcode(t, 0, 122.5, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 122u);
    storeCapcode(t, 0, 123.5, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 124u);
    storeCapcode(t, 0, 2031614.5, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 2031614u);
    // The number the field check rounds is the number stored: a tiny excess over
    // one half must not be lost to the offset of the short word.
    storeCapcode(t, 0, 0.500000000001, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 1u);
    storeCapcode(t, 0, 2.5000000000001, false);
    EXPECT_EQ(readCapcodeWord(t, 0) - 32768, 3u);

    // Fractions of long numbers, including those between two long forms.
    EXPECT_EQ(storeAndDecodeLong(2101249.4), 2101249u);
    EXPECT_EQ(storeAndDecodeLong(1075843072.5), 1075843072u);
    EXPECT_EQ(storeAndDecodeLong(1075843072.7), 1075843073u);
    EXPECT_EQ(storeAndDecodeLong(3223326720.5), 3223326720u);
    EXPECT_EQ(storeAndDecodeLong(3223326720.6), 3223326721u);
    // A fraction just below a multiple of 32768 must not make the first word
    // 32768 + 1 (undecodable): 2068481 + 32767.6 is such a number.
    EXPECT_EQ(storeAndDecodeLong(2068481.0 + 65535.6), 2068481u + 65536u);
    EXPECT_EQ(mymod(32767.6, 32768), 32768) << "why the long forms round first";
}

TEST(CapcodeEncoding, RefusedNumbersStoreNothing)
{
    const PagerTable before = filledTable();
    struct Case {
        int k;
        double v;
        CapcodeStoreResult expected;
    };
    for (const Case& c : std::vector<Case>{
             {0, 2031615, CapcodeStoreResult::ReservedGap},
             {0, 2031614.9, CapcodeStoreResult::ReservedGap},
             {0, 2101248, CapcodeStoreResult::ReservedGap},
             {0, 2101248.6, CapcodeStoreResult::ReservedGap},
             {0, 4291000000.3, CapcodeStoreResult::TooLarge},
             {0, 4291000001, CapcodeStoreResult::TooLarge},
             {0, 1e12, CapcodeStoreResult::TooLarge},
             {0, -40000, CapcodeStoreResult::TooLarge},
             {0, -1, CapcodeStoreResult::TooLarge},
             {1, 3000000000.0, CapcodeStoreResult::TooLarge},    // odd slot: no partner
             {15, 3000000000.0, CapcodeStoreResult::TooLarge},   // slot 16 would be 0xF0
             {15, 2101249, CapcodeStoreResult::TooLarge},
             {16, 5, CapcodeStoreResult::TooLarge},
             {-1, 5, CapcodeStoreResult::TooLarge},
             {0, std::numeric_limits<double>::quiet_NaN(), CapcodeStoreResult::TooLarge},
             {0, std::numeric_limits<double>::infinity(), CapcodeStoreResult::TooLarge},
         }) {
        PagerTable t = before;
        EXPECT_EQ(storeCapcode(t, c.k, c.v, true), c.expected) << c.k << " " << c.v;
        EXPECT_EQ(t, before) << c.k << " " << c.v;
    }
}

TEST(CapcodeEncoding, LastPairStaysInsideTheSlots)
{
    PagerTable t = filledTable();
    const PagerTable before = t;
    ASSERT_EQ(storeCapcode(t, 14, 4291000000.0, true), CapcodeStoreResult::Long);
    // Slot 14 is 0xE8..0xEB, slot 15 0xEC..0xEF; the identifiers stay.
    for (int i = 0; i < PagerTableSize; ++i) {
        const bool wordByte = (i >= 0xE9 && i <= 0xEB) || (i >= 0xED && i <= 0xEF);
        if (!wordByte) {
            EXPECT_EQ(t[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(decodeLongCapcode(readCapcodeWord(t, 14), readCapcodeWord(t, 15)), 4291000000u);
}

TEST(CapcodeEncoding, EnableRulesOfAPair)
{
    // A long number carries a set enable bit over to the second slot ...
    PagerTable t{};
    setCapcodeEnabled(t, 6, true);
    storeCapcode(t, 6, 3000000000.0, true);
    EXPECT_TRUE(capcodeEnabled(t, 7));
    // ... and a cleared one leaves the second slot as it is, set or not.
    setCapcodeEnabled(t, 6, false);
    storeCapcode(t, 6, 3000000000.0, true);
    EXPECT_TRUE(capcodeEnabled(t, 7));
    setCapcodeEnabled(t, 7, false);
    storeCapcode(t, 6, 3000000000.0, true);
    EXPECT_FALSE(capcodeEnabled(t, 7));

    // A short number in the first field of a Long pair disables the second slot;
    // in a Short pair, or in a second field, it leaves the neighbour alone.
    setCapcodeEnabled(t, 8, true);
    setCapcodeEnabled(t, 9, true);
    storeCapcode(t, 8, 1234567, false);
    EXPECT_TRUE(capcodeEnabled(t, 9));
    storeCapcode(t, 8, 1234567, true);
    EXPECT_FALSE(capcodeEnabled(t, 9));
    EXPECT_TRUE(capcodeEnabled(t, 8));
    setCapcodeEnabled(t, 10, true);
    storeCapcode(t, 9, 1234567, true);
    EXPECT_TRUE(capcodeEnabled(t, 10));
}

TEST(CapcodeEncoding, EnableBitsCountDownFrom0x73)
{
    PagerTable t{};
    setCapcodeEnabled(t, 0, true);
    setCapcodeEnabled(t, 7, true);
    setCapcodeEnabled(t, 8, true);
    setCapcodeEnabled(t, 13, true);
    EXPECT_EQ(t[0x73], 0x81);
    EXPECT_EQ(t[0x72], 0x21);
    setCapcodeEnabled(t, 16, true);
    setCapcodeEnabled(t, -1, true);
    EXPECT_EQ(t[0x71], 0x00);
    EXPECT_EQ(t[0x74], 0x00);
    EXPECT_FALSE(capcodeEnabled(t, 16));
}

TEST(CapcodeWords, StoringClearsBits5And7AndSetsTheFlag)
{
    PagerTable t = filledTable();
    storeCapcodeWord(t, 5, 0x1ABCDE, true);
    EXPECT_EQ(slotBytes(t, 5), (Bytes3{0x5A, 0xBC, 0xDE}));
    EXPECT_EQ(readCapcodeWord(t, 5), 0x1ABCDEu);
    storeCapcodeWord(t, 5, 0xFFABCDEF, false);   // only 21 bits are kept
    EXPECT_EQ(slotBytes(t, 5), (Bytes3{0x0B, 0xCD, 0xEF}));
    EXPECT_FALSE(hasLongWordFlag(t, 5));
}

TEST(CapcodeDecoding, WordsOfNoFormGiveNothing)
{
    EXPECT_EQ(decodeLongCapcode(0x000001, 0x1FFFFE), 2101249u);
    EXPECT_EQ(decodeLongCapcode(0x1FE6C0, 0x1E7F47), 4291000000u);
    // First word between the forms.
    EXPECT_FALSE(decodeLongCapcode(0x8001, 0x1FFFFE));
    EXPECT_FALSE(decodeLongCapcode(0x1F7FFE, 0x1E0001));
    // Second word between the forms.
    EXPECT_FALSE(decodeLongCapcode(0x000001, 0x1F0001));
    EXPECT_FALSE(decodeLongCapcode(0x000001, 0x1F7FFE));
    EXPECT_FALSE(decodeLongCapcode(0x000001, 0x1E0000));
    EXPECT_FALSE(decodeLongCapcode(0x1F8000, 0x1E8001));
    EXPECT_FALSE(decodeLongCapcode(0x1F8000, 0x1FFFFE));
    // Wider than a slot's 21 bits.
    EXPECT_FALSE(decodeLongCapcode(0x200001, 0x1FFFFE));
    EXPECT_FALSE(decodeLongCapcode(0x000001, 0x3FFFFE));
}

TEST(CapcodeRoundTrip, EveryShortNumber)
{
    PagerTable t{};
    for (std::uint32_t v = 1; v <= 2031614; ++v) {
        ASSERT_EQ(storeCapcode(t, 0, v, false), CapcodeStoreResult::Short) << v;
        const std::uint32_t w = readCapcodeWord(t, 0);
        ASSERT_GE(w, 0x8001u);
        ASSERT_LE(w, 0x1F7FFEu);
        ASSERT_EQ(w - 32768, v);
        ASSERT_FALSE(hasLongWordFlag(t, 0));
    }
}

TEST(CapcodeRoundTrip, LongNumbersOverEveryForm)
{
    const std::uint64_t boundaries[] = {2101249, 1075843072, 1075843073, 3223326720, 3223326721,
                                        4291000000};
    std::vector<std::uint64_t> values;
    for (std::uint64_t b : boundaries) {
        for (std::int64_t d = -1; d <= 1; ++d)
            values.push_back(b + d);
    }
    // Every multiple of 32768 around the origins, where mymod wraps.
    for (std::uint64_t q = 0; q < 3; ++q) {
        for (std::int64_t d = -2; d <= 2; ++d) {
            values.push_back(2068481 + 32768 * (q + 1) + d);
            values.push_back(2068479 + 32768 * (98305 + q) + d);
        }
    }
    std::mt19937_64 random(20240611);
    const std::uint64_t ranges[3][2] = {{2101249, 1075843072},
                                        {1075843073, 3223326720},
                                        {3223326721, 4291000000}};
    for (const auto& r : ranges) {
        std::uniform_int_distribution<std::uint64_t> pick(r[0], r[1]);
        for (int i = 0; i < 300000; ++i)
            values.push_back(pick(random));
    }

    for (std::uint64_t v : values) {
        const bool inRange = v >= FirstLongCapcode && v <= LongCapcodeLimit;
        const auto words = encodeLongCapcode(double(v));
        ASSERT_EQ(words.has_value(), inRange) << v;
        if (!inRange)
            continue;
        ASSERT_LE(words->first, 0x1FFFFFu) << v;
        ASSERT_LE(words->second, 0x1FFFFFu) << v;
        ASSERT_EQ(decodeLongCapcode(words->first, words->second), v) << v;
    }
    // The path through the image as well, for a share of them.
    for (std::size_t i = 0; i < values.size(); i += 97) {
        const std::uint64_t v = values[i];
        if (v >= FirstLongCapcode && v <= LongCapcodeLimit) {
            ASSERT_EQ(storeAndDecodeLong(double(v)), v) << v;
        }
    }
}

TEST(CapcodeFormat, PadsToTheMinimumDigits)
{
    EXPECT_EQ(formatCapcode(5, 7), "0000005");
    EXPECT_EQ(formatCapcode(1234567, 7), "1234567");
    EXPECT_EQ(formatCapcode(2101249, 10), "0002101249");
    EXPECT_EQ(formatCapcode(1234567, 10), "0001234567");
    EXPECT_EQ(formatCapcode(4291000000, 7), "4291000000");
    EXPECT_EQ(formatCapcode(0, 7), "0000000");
}
