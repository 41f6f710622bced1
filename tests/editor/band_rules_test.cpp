#include "editor/band_rules.h"

#include <gtest/gtest.h>

#include <limits>

using namespace px316t;

namespace {

RasterResult check(Band band, double field, const PagerTable& refreshed)
{
    return checkRaster(band, field, baseFrequencyHz(refreshed), refreshed[0x0E]);
}

PagerTable withPreset(BandPresetId id)
{
    PagerTable t = makeDefaultPagerTable();
    applyBandPreset(t, id, true);
    return t;
}

void expectAccept(const RasterResult& r, std::optional<BandPresetId> preset)
{
    EXPECT_EQ(r.verdict, RasterVerdict::Accept);
    EXPECT_EQ(r.preset, preset);
}

} // namespace

TEST(BandLimits, AreTheBandTextsDigits)
{
    EXPECT_EQ(bandLimits(Band::VHF).low, 1300000);
    EXPECT_EQ(bandLimits(Band::VHF).high, 1800000);
    EXPECT_EQ(bandLimits(Band::UHF).low, 4000000);
    EXPECT_EQ(bandLimits(Band::UHF).high, 4990000);
    EXPECT_EQ(bandLimits(Band::Top).low, 9280000);
    EXPECT_EQ(bandLimits(Band::Top).high, 9320000);
    EXPECT_EQ(bandErrorMessage(Band::Top),
              "Frequency setting error(9280000 < = Frequency < =9320000 )");
    EXPECT_EQ(bandErrorMessage(Band::VHF),
              "Frequency setting error(1300000 < = Frequency < =1800000 )");
    EXPECT_EQ(bandErrorMessage(Band::UHF),
              "Frequency setting error(4000000 < = Frequency < =4990000 )");
}

TEST(BandLimits, AreInclusive)
{
    EXPECT_FALSE(frequencyInBand(Band::UHF, 3999999));
    EXPECT_TRUE(frequencyInBand(Band::UHF, 4000000));
    EXPECT_TRUE(frequencyInBand(Band::UHF, 4990000));
    EXPECT_FALSE(frequencyInBand(Band::UHF, 4990001));
    // The field value is rounded half to even before the comparison.
    EXPECT_TRUE(frequencyInBand(Band::UHF, 3999999.5));
    EXPECT_FALSE(frequencyInBand(Band::UHF, 4990000.5 + 1));
    EXPECT_TRUE(frequencyInBand(Band::UHF, 4990000.5));
    EXPECT_FALSE(frequencyInBand(Band::Top, std::numeric_limits<double>::quiet_NaN()));

    const PagerTable c = withPreset(BandPresetId::C);
    expectAccept(check(Band::UHF, 4000000, c), BandPresetId::C);
    expectAccept(check(Band::UHF, 4990000, c), BandPresetId::C);
}

TEST(Raster, LowerBands)
{
    const PagerTable t = makeDefaultPagerTable();
    expectAccept(check(Band::VHF, 1300000, t), BandPresetId::A);   // -7000000 Hz from the origin
    expectAccept(check(Band::VHF, 1530100, t), BandPresetId::A);
    expectAccept(check(Band::VHF, 1530125, t), BandPresetId::B);
    expectAccept(check(Band::VHF, 1800000, t), BandPresetId::A);
    EXPECT_EQ(check(Band::VHF, 1530110, t).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(check(Band::VHF, 1530150, t).verdict, RasterVerdict::Accept);
    EXPECT_EQ(check(Band::VHF, 1530137, t).verdict, RasterVerdict::Refuse);

    expectAccept(check(Band::UHF, 4500125, t), BandPresetId::D);
    expectAccept(check(Band::UHF, 4540000, t), BandPresetId::C);
    expectAccept(check(Band::UHF, 4000375, t), BandPresetId::D);
    EXPECT_EQ(check(Band::UHF, 4500126, t).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(check(Band::UHF, 4500025, t).verdict, RasterVerdict::Refuse);
}

TEST(Raster, TopBandUsesTheRefreshedBaseAndSpacing)
{
    const PagerTable e = withPreset(BandPresetId::E);
    EXPECT_EQ(baseFrequencyHz(e), 928012500);
    expectAccept(check(Band::Top, 9310125, e), std::nullopt);
    EXPECT_EQ(check(Band::Top, 9310000, e).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(check(Band::Top, 9320000, e).verdict, RasterVerdict::Refuse);
    expectAccept(check(Band::Top, 9280125, e), std::nullopt);
    expectAccept(check(Band::Top, 9319875, e), std::nullopt);

    // Another spacing in the image changes the raster.
    PagerTable five = e;
    five[0x0E] = 5;
    expectAccept(check(Band::Top, 9310075, five), std::nullopt);
    EXPECT_EQ(check(Band::Top, 9310076, five).verdict, RasterVerdict::Refuse);
}

TEST(Raster, ImagesOutsideThe32BitArithmetic)
{
    // A spacing of 0 cannot be checked: refused, never a division by zero.
    PagerTable zero = withPreset(BandPresetId::E);
    zero[0x0E] = 0;
    EXPECT_EQ(check(Band::Top, 9310125, zero).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(checkRaster(Band::Top, 9310125, 928012500, 0.0004).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(checkRaster(Band::Top, 9310125, 928012500, -25).verdict, RasterVerdict::Refuse);
    EXPECT_EQ(checkRaster(Band::Top, 9310125, 928012500,
                          std::numeric_limits<double>::quiet_NaN()).verdict,
              RasterVerdict::Refuse);

    // Base frequencies beyond 21474836 units (over 2^31 Hz) are exact.
    PagerTable huge = withPreset(BandPresetId::E);
    writeBigEndian32(huge, 0xF0, 0xFFFFFFFF);
    EXPECT_EQ(baseFrequencyHz(huge), 429496729500);
    EXPECT_EQ(check(Band::Top, 9310125, huge).verdict, RasterVerdict::Refuse);
    // 2156784625 units = 931012500 Hz + 8589898 channels of 25 kHz: on the raster,
    // though the base in Hz overflows 32 bits; one unit more is off it.
    writeBigEndian32(huge, 0xF0, 2156784625u);
    expectAccept(check(Band::Top, 9310125, huge), std::nullopt);
    writeBigEndian32(huge, 0xF0, 2156784626u);
    EXPECT_EQ(check(Band::Top, 9310125, huge).verdict, RasterVerdict::Refuse);

    EXPECT_EQ(checkRaster(Band::VHF, std::numeric_limits<double>::infinity(), 0, 25).verdict,
              RasterVerdict::Refuse);
    EXPECT_EQ(checkRaster(Band::Top, 1e300, 0, 25).verdict, RasterVerdict::Refuse);
}

TEST(Raster, NoBandSelectedAcceptsWithoutCheck)
{
    expectAccept(checkRaster(std::nullopt, 1234567.89, 0, 0), std::nullopt);
}

TEST(BandPresets, ChoosingABandLoadsItsPresetWhole)
{
    EXPECT_EQ(presetForBand(Band::VHF), BandPresetId::A);
    EXPECT_EQ(presetForBand(Band::UHF), BandPresetId::C);
    EXPECT_EQ(presetForBand(Band::Top), BandPresetId::E);

    PagerTable t = makeDefaultPagerTable();
    const PagerTable before = t;
    applyBandPreset(t, BandPresetId::C, true);
    EXPECT_EQ(readBigEndian32(t, 0xF4), 4540000u);
    EXPECT_EQ(readBigEndian32(t, 0xF0), 4500000u);
    EXPECT_EQ((t[0x05] << 16) | (t[0x06] << 8) | t[0x07], 0x10BE0);
    EXPECT_EQ((t[0x0A] << 8) | t[0x0B], 0x1801);
    EXPECT_EQ(t[0x0D], 4);
    EXPECT_EQ(t[0x0E], 25);
    for (int i = 0x10; i < PagerTableSize; ++i) {
        if (i < 0xF0 || i > 0xF7) {
            ASSERT_EQ(t[i], before[i]) << i;
        }
    }
}

TEST(BandPresets, ARasterPresetKeepsTheOperatingFrequency)
{
    PagerTable t = withPreset(BandPresetId::C);
    writeBigEndian32(t, 0xF4, 4500125);
    applyBandPreset(t, BandPresetId::D, false);
    EXPECT_EQ(readBigEndian32(t, 0xF4), 4500125u);
    EXPECT_EQ(readBigEndian32(t, 0xF0), 4500125u);
    EXPECT_EQ((t[0x05] << 16) | (t[0x06] << 8) | t[0x07], 0x10BE2);
}

TEST(BandFromImage, HighNibbleOf0xF1)
{
    PagerTable t{};
    t[0xF1] = 0x14;
    EXPECT_EQ(bandFromImage(t), Band::VHF);
    t[0xF1] = 0x44;
    EXPECT_EQ(bandFromImage(t), Band::UHF);
    t[0xF1] = 0x8D;
    EXPECT_EQ(bandFromImage(t), Band::Top);
    for (int h : {0, 2, 3, 5, 9, 15}) {
        t[0xF1] = static_cast<std::uint8_t>(h << 4 | 0x0F);
        EXPECT_FALSE(bandFromImage(t).has_value()) << h;
    }
}
